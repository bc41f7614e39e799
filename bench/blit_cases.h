#pragma once
#include <cstdint>

// What the two blit benchmarks draw over and where, so that ours and every
// peer meet the same destination.

// The destination's pixels before a run: every one different from its neighbours.
inline uint32_t BackgroundPixel(int x, int y) {
    return 0xFF000000u | uint32_t((x * 3) & 0xFF) << 16 | uint32_t((y * 5) & 0xFF) << 8 | 0x40;
}

// The sprite's position moves a little each iteration so that no pass is a
// repeat of the one before.
inline int Jitter(int64_t i) { return int(i % 7); }

// Where a draw made before timing goes: off every timed position, so that even
// a single timed pass of a keyed sprite (which draws the same pixels at the same
// place) changes pixels.
constexpr int kWarmUpX = 100 + 7;
