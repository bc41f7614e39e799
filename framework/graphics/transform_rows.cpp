#include "framework/graphics/transform_rows.h"

#include <immintrin.h>
#include "platform/simd_target.h"

namespace Zephra::raster {

PEMBERLY_AVX2_BEGIN

namespace {

inline __m256i Gather(const uint32_t* bits, __m256i at) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(bits), at, 4);
}

// x·w0 + y·w1 for x, y below 2^16 and weight pairs w (w0 low, w1 high) that sum
// to 256: the multiply-add is signed, so x and y go in less 2^15, and 2^15·256
// comes back after.
inline __m256i WeighPair(__m256i x, __m256i y, __m256i w) {
    const __m256i pair = _mm256_xor_si256(_mm256_or_si256(x, _mm256_slli_epi32(y, 16)),
                                          _mm256_set1_epi32(int(0x80008000u)));
    return _mm256_add_epi32(_mm256_madd_epi16(pair, w), _mm256_set1_epi32(1 << 23));
}

} // namespace

// The plain loop's mix of four pixels: with p the alpha times the weight
// (256 − fu or fu, times 256 − fv or fv) of each, total T = Σp, the alpha is
// (T + 2^15) >> 16 and each channel floor((Σ c·p + floor(T / 2)) / T). Here the
// sums go across then down (the same integers); T < 2^24 and the channel sums
// stay below 2^32. The quotient, below 256, is estimated in floats to within
// one and put right by its exact remainder, which fits 32 bits.
void BilinearRowAvx2(const uint32_t* bits, int stride, ptrdiff_t origin, int32_t U, int32_t V, int32_t dU,
                     int32_t dV, int n, uint32_t* out) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i u = _mm256_add_epi32(_mm256_set1_epi32(U), _mm256_mullo_epi32(lanes, _mm256_set1_epi32(dU)));
    __m256i v = _mm256_add_epi32(_mm256_set1_epi32(V), _mm256_mullo_epi32(lanes, _mm256_set1_epi32(dV)));
    const __m256i stepU = _mm256_set1_epi32(8 * dU), stepV = _mm256_set1_epi32(8 * dV);
    const __m256i rowStep = _mm256_set1_epi32(stride), start = _mm256_set1_epi32(int32_t(origin));
    const __m256i fraction = _mm256_set1_epi32(0xFFFF), round = _mm256_set1_epi32(0x80);
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi32(1), full = _mm256_set1_epi32(256);
    const __m256i byte = _mm256_set1_epi32(0xFF), signBit = _mm256_set1_epi32(int(0x80000000u));
    const __m256 twoTo31 = _mm256_set1_ps(2147483648.0f), unit = _mm256_set1_ps(1.0f);
    for (int k = 0; k + 8 <= n; k += 8, u = _mm256_add_epi32(u, stepU), v = _mm256_add_epi32(v, stepV)) {
        const __m256i fu = _mm256_srli_epi32(_mm256_add_epi32(_mm256_and_si256(u, fraction), round), 8);
        const __m256i fv = _mm256_srli_epi32(_mm256_add_epi32(_mm256_and_si256(v, fraction), round), 8);
        const __m256i at00 = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(v, 16), rowStep), _mm256_srli_epi32(u, 16)), start);
        // A zero fraction reads its own column or row, as the plain loop does.
        const __m256i right = _mm256_add_epi32(_mm256_cmpeq_epi32(fu, zero), one);
        const __m256i down = _mm256_andnot_si256(_mm256_cmpeq_epi32(fv, zero), rowStep);
        const __m256i at10 = _mm256_add_epi32(at00, right), at01 = _mm256_add_epi32(at00, down);
        const __m256i c00 = Gather(bits, at00), c10 = Gather(bits, at10);
        const __m256i c01 = Gather(bits, at01), c11 = Gather(bits, _mm256_add_epi32(at01, right));

        const __m256i wu = _mm256_or_si256(_mm256_sub_epi32(full, fu), _mm256_slli_epi32(fu, 16));
        const __m256i wv = _mm256_or_si256(_mm256_sub_epi32(full, fv), _mm256_slli_epi32(fv, 16));
        const __m256i wv0 = _mm256_sub_epi32(full, fv);
        const __m256i a00 = _mm256_srli_epi32(c00, 24), a10 = _mm256_srli_epi32(c10, 24);
        const __m256i a01 = _mm256_srli_epi32(c01, 24), a11 = _mm256_srli_epi32(c11, 24);
        // Alpha weighted across each row (at most 255·256), then down.
        const __m256i top = _mm256_madd_epi16(_mm256_or_si256(a00, _mm256_slli_epi32(a10, 16)), wu);
        const __m256i bottom = _mm256_madd_epi16(_mm256_or_si256(a01, _mm256_slli_epi32(a11, 16)), wu);
        const __m256i total = WeighPair(top, bottom, wv);
        const __m256i safe = _mm256_max_epi32(total, one);   // T = 0 draws nothing: its sums are 0
        const __m256i half = _mm256_srli_epi32(total, 1);
        const __m256 inverse = _mm256_div_ps(unit, _mm256_cvtepi32_ps(safe));
        auto channel = [&](int shift) {
            auto premultiplied = [&](__m256i c, __m256i a) {
                return _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(c, shift), byte), a);
            };
            const __m256i rowTop = WeighPair(premultiplied(c00, a00), premultiplied(c10, a10), wu);
            const __m256i rowBottom = WeighPair(premultiplied(c01, a01), premultiplied(c11, a11), wu);
            const __m256i sum = _mm256_add_epi32(
                _mm256_add_epi32(_mm256_mullo_epi32(rowTop, wv0), _mm256_mullo_epi32(rowBottom, fv)), half);
            // sum is below 2^32: read as signed less 2^31, then 2^31 added back.
            const __m256 estimate = _mm256_mul_ps(
                _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_xor_si256(sum, signBit)), twoTo31), inverse);
            __m256i q = _mm256_cvttps_epi32(estimate);
            const __m256i rest = _mm256_sub_epi32(sum, _mm256_mullo_epi32(q, safe));
            q = _mm256_sub_epi32(q, _mm256_cmpgt_epi32(rest, _mm256_sub_epi32(safe, one)));
            q = _mm256_add_epi32(q, _mm256_cmpgt_epi32(zero, rest));
            return q;
        };
        const __m256i alpha = _mm256_srli_epi32(_mm256_add_epi32(total, _mm256_set1_epi32(32768)), 16);
        const __m256i pixel = _mm256_or_si256(
            _mm256_or_si256(_mm256_slli_epi32(alpha, 24), _mm256_slli_epi32(channel(16), 16)),
            _mm256_or_si256(_mm256_slli_epi32(channel(8), 8), channel(0)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), pixel);
    }
}

PEMBERLY_AVX2_END

} // namespace Zephra::raster
