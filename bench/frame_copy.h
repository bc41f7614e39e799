#pragma once
// The memory speed the frame benchmarks are read against: one 800 x 600
// frame of 32-bit pixels copied with memcpy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

constexpr double kFrameCopyBytes = 800.0 * 600.0 * 4.0;

inline void FrameCopy(benchmark::State& state) {
    std::vector<uint32_t> from(800 * 600, 0xFF204060u), to(800 * 600);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
