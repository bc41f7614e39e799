#pragma once
// The memory speed the frame benchmarks are read against (one 800 x 600
// frame of 32-bit pixels copied with memcpy), and the window's pixels, where
// a presented frame shows that it arrived.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/collecting_reporter.h"

constexpr double kFrameCopyBytes = 800.0 * 600.0 * 4.0;

inline void FrameCopy(benchmark::State& state) {
    std::vector<uint32_t> from(800 * 600, 0xFF204060u), to(800 * 600);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    benchsummary::ReportWork(state, std::memcmp(to.data(), from.data(), from.size() * 4) == 0 ? kFrameCopyBytes : 0);
}

// The pixels of the program's newest window: on SDL's offscreen driver each
// window keeps its picture in a surface of its own. Null without a window.
inline SDL_Surface* NewestWindowSurface() {
    SDL_Window* newest = nullptr;
    for (Uint32 id = 1; id < 4096; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id)) newest = w;
    return newest ? SDL_GetWindowSurface(newest) : nullptr;
}

// A value the frames in these benchmarks do not draw.
constexpr uint32_t kWindowMark = 0x00A5C3E1u;

// Fills the window's pixels with the mark, so that what a frame leaves there
// can be counted; false without a window.
inline bool MarkWindow(SDL_Surface* s) {
    if (!s || SDL_LockSurface(s) != 0) return false;
    for (int y = 0; y < s->h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch);
        std::fill(row, row + s->w, kWindowMark);
    }
    SDL_UnlockSurface(s);
    return true;
}

// The 32-bit pixels of a surface for which count(pixel, first pixel) holds.
template <class Count>
double CountPixels(SDL_Surface* s, Count count) {
    if (!s || s->format->BytesPerPixel != 4 || SDL_LockSurface(s) != 0) return 0;
    const uint32_t first = *static_cast<const uint32_t*>(s->pixels);
    double n = 0;
    for (int y = 0; y < s->h; ++y) {
        auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < s->w; ++x) n += count(row[x], first);
    }
    SDL_UnlockSurface(s);
    return n;
}

// The window's pixels that no longer hold the mark: what frames brought there.
inline double PixelsArrived(SDL_Surface* s) {
    return CountPixels(s, [](uint32_t p, uint32_t) { return p != kWindowMark; });
}

// The pixels of a surface that differ from its first: above 0 when a picture
// (not one flat colour) is there.
inline double DistinctFromFirst(SDL_Surface* s) {
    return CountPixels(s, [](uint32_t p, uint32_t first) { return p != first; });
}
