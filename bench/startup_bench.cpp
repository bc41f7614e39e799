// Start-up to the first frame of the main menu with SDL's offscreen driver,
// the splash left out: the application made on the game's display, Init
// (settings, window, display, the resource group "Init", audio), the
// loading-completed hook (tables, the screens) and the first drawn and
// presented frame. Printed beside its 300 ms limit.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/sample_game.h"
#include "game/screens/main_menu.h"

namespace {

using namespace benchgame;

constexpr double kStartupLimitMs = 300.0;
GameWorld* gWorld = nullptr;

void Startup(benchmark::State& state, Road road) {
    for (auto _ : state) {
        std::string error;
        auto app = StartGame(*gWorld, road, true, error);
        if (!app) {
            state.SkipWithError(error.c_str());
            return;
        }
        app->DrawFrame();
        state.PauseTiming();
        const bool menu = app->mMainMenu && app->mMainMenu->mVisible;
        app.reset();
        state.ResumeTiming();
        if (!menu) {
            state.SkipWithError("the main menu is not up");
            break;
        }
    }
}

BENCHMARK_CAPTURE(Startup, d3d, Road::Direct3D)->Name("startup/d3d")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Startup, ddraw32, Road::DirectDraw32)->Name("startup/ddraw32")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunGameBenchmarks(argc, argv, gWorld, [](const std::map<std::string, double>& times) {
        std::printf("\n%-22s %12s %12s\n", "start-up", "time (ms)", "limit (ms)");
        for (const auto& [name, ms] : times) std::printf("%-22s %12.1f %12.1f\n", name.c_str(), ms, kStartupLimitMs);
    });
}
