// Start-up to the first frame of the main menu with SDL's offscreen driver,
// the splash left out: the application made on the game's display, Init
// (settings, window, display, the resource group "Init", audio), the
// loading-completed hook (tables, the screens) and the first drawn and
// presented frame, counted when it reached the window. Printed beside its
// 300 ms limit and a plain SDL2 program's start-up to its first frame, in CPU
// time and in wall time (start-up also waits for its files).
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/frame_copy.h"
#include "bench/sample_game.h"
#include "game/screens/main_menu.h"

namespace {

using namespace benchgame;

constexpr double kStartupLimitMs = 300.0;
GameWorld* gWorld = nullptr;

void Startup(benchmark::State& state, Road road) {
    double frames = 0;
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
        // The first frame reached the window: its pixels are not all one.
        SDL_Surface* window = NewestWindowSurface();
        frames += menu && window && DistinctFromFirst(window) > 0;
        app.reset();
        state.ResumeTiming();
        if (!menu) {
            state.SkipWithError("the main menu is not up");
            break;
        }
    }
    benchsummary::ReportWork(state, frames);
}

// The same for a plain SDL2 program: video started, an 800 x 600 window, its
// first frame presented from the window's own pixels.
void SdlStartup(benchmark::State& state) {
    double frames = 0;
    for (auto _ : state) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            state.SkipWithError(SDL_GetError());
            return;
        }
        SDL_Window* w = SDL_CreateWindow("bench", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 800, 600, 0);
        SDL_Surface* s = w ? SDL_GetWindowSurface(w) : nullptr;
        if (s) {
            SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 32, 64, 96));
            SDL_Rect box{100, 100, 200, 100};
            SDL_FillRect(s, &box, SDL_MapRGB(s->format, 200, 180, 40));
            SDL_UpdateWindowSurface(w);
        }
        state.PauseTiming();
        frames += s && DistinctFromFirst(s) > 0;
        state.ResumeTiming();
        if (w) SDL_DestroyWindow(w);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    benchsummary::ReportWork(state, frames);
}

BENCHMARK_CAPTURE(Startup, d3d, Road::Direct3D)->Name("startup/d3d")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Startup, ddraw32, Road::DirectDraw32)->Name("startup/ddraw32")->Unit(benchmark::kMillisecond);
BENCHMARK(SdlStartup)->Name("startup/sdl window")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunGameBenchmarks(argc, argv, gWorld, [](const benchsummary::Figures&, benchsummary::Summary& s) {
        const char* peer = "startup/sdl window";
        const char* note = "a plain SDL2 window to its first frame";
        for (bool wall : {false, true})
            s.Table(wall ? "start-up, wall time" : "start-up, CPU time",
                    {{"startup/d3d", peer, note, 1, kStartupLimitMs * 1000, 0, wall},
                     {"startup/ddraw32", peer, note, 1, kStartupLimitMs * 1000, 0, wall}},
                    1000, "ms");
    });
}
