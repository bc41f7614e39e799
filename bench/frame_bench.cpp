// A whole frame of the busy sample office (the survival office played for a
// while: clients, workers at work, the boss carrying, the panel, particles
// and pop-ups) drawn and presented on each road, beside a plain copy of an
// 800 x 600 frame. Printed beside the 1 ms the fastest road is held to and
// twice the fastest for the others.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/sample_game.h"

namespace {

using namespace benchgame;

constexpr double kFastestLimitUs = 1000.0;
GameWorld* gWorld = nullptr;

void Frame(benchmark::State& state, Road road) {
    std::string error;
    auto app = StartGame(*gWorld, road, false, error);
    if (!app || !MakeBusy(*app, *gWorld, 20.0f, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        // Every widget drawn again, as when everything moves.
        app->mWidgetManager->MarkDirtyFull();
        app->DrawFrame();
    }
    state.counters["objects"] = static_cast<double>(app->GetLevelScreen()->GetOffice()->ObjectCount());
}

// The memory limit: one 800 x 600 frame of 32-bit pixels copied.
void FrameCopy(benchmark::State& state) {
    std::vector<uint32_t> from(800 * 600, 0xFF204060u), to(800 * 600);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK_CAPTURE(Frame, memory, Road::Memory)->Name("frame/memory")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Frame, ddraw565, Road::DirectDraw565)->Name("frame/ddraw565")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Frame, ddraw32, Road::DirectDraw32)->Name("frame/ddraw32")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Frame, d3d, Road::Direct3D)->Name("frame/d3d")->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameCopy)->Name("frame/copy 800x600")->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunGameBenchmarks(argc, argv, gWorld, [](const std::map<std::string, double>& times) {
        double fastest = 0;
        for (const auto& [name, us] : times)
            if (name.rfind("frame/copy", 0) != 0 && (fastest == 0 || us < fastest)) fastest = us;
        std::printf("\n%-22s %12s %14s\n", "busy frame", "time (us)", "limit (us)");
        for (const auto& [name, us] : times) {
            if (name.rfind("frame/copy", 0) == 0) {
                std::printf("%-22s %12.1f %14s\n", name.c_str(), us, "(memory limit)");
            } else {
                const bool isFastest = us == fastest;
                std::printf("%-22s %12.1f %14.1f%s\n", name.c_str(), us, isFastest ? kFastestLimitUs : 2 * fastest,
                            isFastest ? "  (fastest road: 1 ms)" : "  (2x the fastest)");
            }
        }
    });
}
