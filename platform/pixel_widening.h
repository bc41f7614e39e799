#pragma once
// 16-bit pixels (565 or 555, in either channel order) widened into 0xFFRRGGBB
// pixels, each channel's top bits repeated into its low ones, so that full
// intensity stays full: the window's and the 3D device's one rule.
#include <immintrin.h>

#include <cstdint>

#include "platform/simd_target.h"

namespace platform {

// The widening's channel steps on 16-bit lanes of either vector width:
// each pixel's high half (alpha, red) and low half (green, blue). A field of
// b bits times 2^b + 1 is the field twice over, side by side; shifted down by
// 2b - 8 it is its top bits repeated into its low ones.
// (Results by reference: a 256-bit vector returned from code built for the
// SSE2 baseline would change the calling convention.)
template <int Shift, int Bits, typename Lanes>
__attribute__((always_inline)) inline void WidenField(const Lanes& p, Lanes& out) {
    const Lanes field = Shift + Bits == 16 ? p >> Shift : (p >> Shift) & ((1 << Bits) - 1);
    out = (field * ((1 << Bits) + 1)) >> (2 * Bits - 8);
}

template <int RShift, int RBits, int GShift, int GBits, int BShift, int BBits, typename Lanes>
__attribute__((always_inline)) inline void WidenLanes(const Lanes& p, Lanes& low, Lanes& high) {
    Lanes r, g, b;
    WidenField<RShift, RBits>(p, r);
    WidenField<GShift, GBits>(p, g);
    WidenField<BShift, BBits>(p, b);
    high = r | 0xFF00;
    low = (g << 8) | b;
}

// Eight pixels in 16-bit lanes widened, written out so that every build type
// gets it (an -O2 build leaves a plain loop scalar, ten times slower).
template <int RShift, int RBits, int GShift, int GBits, int BShift, int BBits>
inline void Expand8(__m128i p, uint32_t* out) {
    __v8hu low, high;
    WidenLanes<RShift, RBits, GShift, GBits, BShift, BBits>(__v8hu(p), low, high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(__m128i(low), __m128i(high)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(__m128i(low), __m128i(high)));
}

PEMBERLY_AVX2_BEGIN

// Sixteen pixels as Expand8 makes eight: pixels 0-7 in the low half of `p`,
// 8-15 in the high half.
template <int RShift, int RBits, int GShift, int GBits, int BShift, int BBits>
__attribute__((always_inline)) inline void Expand16(__m256i p, uint32_t* out) {
    __v16hu low, high;
    WidenLanes<RShift, RBits, GShift, GBits, BShift, BBits>(__v16hu(p), low, high);
    // The unpacks work within halves: pixels 0-3 and 8-11, then 4-7 and 12-15.
    const __m256i first = _mm256_unpacklo_epi16(__m256i(low), __m256i(high));
    const __m256i second = _mm256_unpackhi_epi16(__m256i(low), __m256i(high));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(first, second, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), _mm256_permute2x128_si256(first, second, 0x31));
}

PEMBERLY_AVX2_END

} // namespace platform
