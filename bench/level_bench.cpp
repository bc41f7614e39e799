// The level's own work on the busy sample office: one update (every object,
// person, client and worker, spawning and the bonus chain: the level's Update
// and motion step) beside its 50 us limit, and loading a career day and a
// survival level.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/sample_game.h"

namespace {

using namespace benchgame;

constexpr double kUpdateLimitUs = 50.0;
GameWorld* gWorld = nullptr;

void LevelUpdate(benchmark::State& state) {
    std::string error;
    auto app = StartGame(*gWorld, Road::Memory, false, error);
    if (!app || !MakeBusy(*app, *gWorld, 20.0f, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    LevelScreen* level = app->GetLevelScreen();
    testsupport::Player player(level);
    for (auto _ : state) {
        state.PauseTiming();
        player.Act();
        state.ResumeTiming();
        level->Update();
        level->UpdateMotion(1.0f);
    }
    // Left to run for minutes the full office outgrows the player and the
    // level ends, after which an update does next to nothing.
    if (level->IsLevelStopped()) state.SkipWithError("the level ended while it was measured");
}

void LoadLevel(benchmark::State& state, bool survival, int number) {
    std::string error;
    auto app = StartGame(*gWorld, Road::Memory, false, error);
    if (!app) {
        state.SkipWithError(error.c_str());
        return;
    }
    LevelScreen* level = app->GetLevelScreen();
    level->SetSurvival(survival);
    for (auto _ : state) {
        if (!level->LoadLevel(number)) state.SkipWithError("the level did not load");
    }
}

// 30 s of play after the first 20: the office stays full and in play.
BENCHMARK(LevelUpdate)->Name("level/update")->Iterations(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LoadLevel, career, false, 2)->Name("level/load career day 2")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadLevel, survival, true, 1)->Name("level/load survival 1")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunGameBenchmarks(argc, argv, gWorld, [](const std::map<std::string, double>& times) {
        std::printf("\n%-26s %12s %12s\n", "level", "time", "limit");
        for (const auto& [name, t] : times) {
            if (name.rfind("level/update", 0) == 0)
                std::printf("%-26s %9.1f us %9.1f us\n", name.c_str(), t, kUpdateLimitUs);
            else
                std::printf("%-26s %9.2f ms %12s\n", name.c_str(), t, "(none)");
        }
    });
}
