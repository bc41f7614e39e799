#include "framework/graphics/transform_rows.h"

#include <immintrin.h>
#include "framework/graphics/blend_group_avx2.h"
#include "framework/graphics/blend_rows.h"
#include "platform/simd_target.h"

namespace Zephra::raster {

// Eight columns' lanes in the order 0 1 4 5 2 3 6 7, so that interleaving a
// sum with 2^52's high word turns each half into four doubles, columns in
// order.
constexpr int kAcrossOrder[8] = {0, 1, 4, 5, 2, 3, 6, 7};

void PrepareAcross(const int32_t* first, const int32_t* pairs, int n, AcrossTaps& taps) {
    taps.base.resize(size_t(n / 8));
    taps.near.resize(size_t(n / 8));
    taps.offsets.resize(size_t(n));
    taps.weights.resize(size_t(n));
    for (int i = 0; i < n; i += 8) {
        const int32_t base = first[i];
        bool near = true;
        for (int k = 0; k < 8; ++k) {
            const int32_t offset = first[i + kAcrossOrder[k]] - base;
            near = near && offset >= 0 && offset < 8;
            taps.offsets[size_t(i + k)] = offset;
            taps.weights[size_t(i + k)] = pairs[i + kAcrossOrder[k]];
        }
        taps.base[size_t(i / 8)] = base;
        taps.near[size_t(i / 8)] = near;
    }
}

// Byte shuffles taking byte c of each pixel to the low byte of its low half
// (low) or of its high half (high), the other bytes 0.
struct PairBytes {
    alignas(32) int8_t low[4][32];
    alignas(32) int8_t high[4][32];
};
constexpr PairBytes MakePairBytes() {
    PairBytes m{};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k < 32; ++k) {
            const int8_t from = int8_t((k % 16) / 4 * 4 + c);
            m.low[c][k] = k % 4 == 0 ? from : -1;
            m.high[c][k] = k % 4 == 2 ? from : -1;
        }
    return m;
}
constexpr PairBytes kPairBytes = MakePairBytes();

PEMBERLY_AVX2_BEGIN

namespace {

inline __m256i Load8(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

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

// Four premultiplied planes of a row (α·b, α·g, α·r, α), each as pairs of a
// pixel and the next, less 2^15 for the signed multiply-add.
void StretchAcrossAvx2(const uint32_t* row, int columns, const AcrossTaps& taps, int n, int32_t* scratch, double* a,
                       double* r, double* g, double* b) {
    const int stride = columns + 8;
    int32_t* pair[4] = {scratch, scratch + stride, scratch + 2 * stride, scratch + 3 * stride};
    const __m256i bias = _mm256_set1_epi32(int(0x80008000u)), alphaBits = _mm256_set1_epi32(int(0xFF000000u));
    __m256i low[4], high[4];
    for (int c = 0; c < 4; ++c) {
        low[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kPairBytes.low[c]));
        high[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kPairBytes.high[c]));
    }
    int x = 0;
    for (; x + 8 < columns; x += 8) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
        const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x + 1));
        if (_mm256_testz_si256(_mm256_or_si256(p, q), alphaBits)) {
            for (int c = 0; c < 4; ++c) _mm256_storeu_si256(reinterpret_cast<__m256i*>(pair[c] + x), bias);
            continue;   // all clear: every product 0
        }
        auto pairOf = [&](int c) {
            return _mm256_or_si256(_mm256_shuffle_epi8(p, low[c]), _mm256_shuffle_epi8(q, high[c]));
        };
        // Each 16-bit product α·c is below 2^16.
        const __m256i alphas = pairOf(3);
        for (int c = 0; c < 3; ++c)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pair[c] + x),
                                _mm256_xor_si256(_mm256_mullo_epi16(pairOf(c), alphas), bias));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pair[3] + x), _mm256_xor_si256(alphas, bias));
    }
    // The last pixel pairs with itself: read only under a weight of 0.
    for (; x < columns; ++x) {
        const uint32_t p = row[x], q = row[x + 1 < columns ? x + 1 : x];
        for (int c = 0; c < 3; ++c)
            pair[c][x] = int32_t((((p >> (8 * c)) & 0xFF) * (p >> 24) | (((q >> (8 * c)) & 0xFF) * (q >> 24)) << 16) ^
                                 0x80008000u);
        pair[3][x] = int32_t(((p >> 24) | (q >> 24) << 16) ^ 0x80008000u);
    }
    // Σ w·(v − 2^15) over the pair, plus 2^15 · 4096. Eight columns whose
    // pairs start within eight pixels (any enlargement) take them from one
    // load; others gather.
    const __m256i back = _mm256_set1_epi32(1 << 27), exponent = _mm256_set1_epi32(0x43300000);
    const __m256d twoTo52 = _mm256_set1_pd(0x1p52);
    double* out[4] = {b, g, r, a};
    const int32_t *bases = taps.base.data(), *offsetsAt = taps.offsets.data(), *weightsAt = taps.weights.data();
    const uint8_t* nearAt = taps.near.data();
    for (int i = 0; i < n; i += 8) {
        const __m256i offsets = Load8(offsetsAt + i), w = Load8(weightsAt + i);
        const int32_t from = bases[i / 8];
        const bool near = nearAt[i / 8];
        auto tapsOf = [&](int c) {
            const int32_t* p = pair[c] + from;
            return near ? _mm256_permutevar8x32_epi32(Load8(p), offsets) : _mm256_i32gather_epi32(p, offsets, 4);
        };
        const __m256i alphas = tapsOf(3);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alphas, bias)) == -1) {
            // Every tap clear: every sum 0.
            for (int c = 0; c < 4; ++c) {
                _mm256_storeu_pd(out[c] + i, _mm256_setzero_pd());
                _mm256_storeu_pd(out[c] + i + 4, _mm256_setzero_pd());
            }
            continue;
        }
        for (int c = 0; c < 4; ++c) {
            const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(c == 3 ? alphas : tapsOf(c), w), back);
            auto asDoubles = [&](__m256i v) { return _mm256_sub_pd(_mm256_castsi256_pd(v), twoTo52); };
            _mm256_storeu_pd(out[c] + i, asDoubles(_mm256_unpacklo_epi32(sum, exponent)));
            _mm256_storeu_pd(out[c] + i + 4, asDoubles(_mm256_unpackhi_epi32(sum, exponent)));
        }
    }
}

PEMBERLY_AVX2_END

PEMBERLY_AVX2_FMA_BEGIN

namespace {

// Each channel's floor((C + floor(A / 2)) / A) is floor(C / A + 1/2) for whole
// C and A: the half that floor(A / 2) drops for an odd A never carries, the
// fraction of C / A being at most 1 − 1/A. With m that number, m − 1/2 <= C / A
// <= m + 1/2 − 1/(2A), and 1/(2A) > 2^-33. The inverse is (1 + 2^-44) / A
// rounded: 1/A·(1 + d) with 2^-45 < d < 2^-43. So C times it is
// C / A raised by less than 256·2^-43 = 2^-35, and by more than nothing unless
// C is 0: strictly between m − 1/2 and m + 1/2. One fused multiply-add adds
// 2^52 to the exact product and rounds once, to the nearest whole number, m,
// which it leaves in the low bits.
constexpr double kRaise = 1.0 + 0x1p-44;
constexpr double kOpaque = 0xFFp24;   // A where all four taps' alphas are 255
constexpr double kOpaqueInverse = kRaise / kOpaque;

// Four pixels, each in the low half of a 64-bit lane.
inline __m256i Quotients4(__m256d r, __m256d g, __m256d b, __m256d inverse, __m256i alphaBits) {
    const __m256d magic = _mm256_set1_pd(0x1p52);
    auto quotient = [&](__m256d c) { return _mm256_castpd_si256(_mm256_fmadd_pd(c, inverse, magic)); };
    return _mm256_or_si256(_mm256_or_si256(alphaBits, quotient(b)),
                           _mm256_or_si256(_mm256_slli_epi64(quotient(g), 8), _mm256_slli_epi64(quotient(r), 16)));
}

// Eight pixels in order from two such fours.
inline __m256i Join8(__m256i lo, __m256i hi) {
    const __m256 halves = _mm256_shuffle_ps(_mm256_castsi256_ps(lo), _mm256_castsi256_ps(hi), _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(halves), _MM_SHUFFLE(3, 1, 2, 0));
}

enum class Kind { Clear, Opaque, Mixed };

// Eight pixels from their sums, sum(plane, k) giving pixels k to k + 3 of the
// planes a, r, g, b (0 to 3); the colour sums are asked for only where some
// alpha is not 0. Clear, all eight come out as 0, which leaves the destination
// as it is; opaque, A is 255·2^24 and the alpha 255 in all eight.
template <class Sum>
inline Kind Down8(const Sum& sum, int i, __m256i& pixels) {
    const __m256d a0 = sum(0, i), a1 = sum(0, i + 4);
    pixels = _mm256_setzero_si256();
    if (_mm256_movemask_pd(_mm256_cmp_pd(_mm256_max_pd(a0, a1), _mm256_setzero_pd(), _CMP_EQ_OQ)) == 0xF)
        return Kind::Clear;
    const __m256d r0 = sum(1, i), g0 = sum(2, i), b0 = sum(3, i);
    const __m256d r1 = sum(1, i + 4), g1 = sum(2, i + 4), b1 = sum(3, i + 4);
    const __m256i alphaMask = _mm256_set1_epi64x(0xFF000000);
    if (_mm256_movemask_pd(_mm256_cmp_pd(_mm256_min_pd(a0, a1), _mm256_set1_pd(kOpaque), _CMP_EQ_OQ)) == 0xF) {
        const __m256d inverse = _mm256_set1_pd(kOpaqueInverse);
        pixels = Join8(Quotients4(r0, g0, b0, inverse, alphaMask), Quotients4(r1, g1, b1, inverse, alphaMask));
        return Kind::Opaque;
    }
    auto four = [&](__m256d a, __m256d r, __m256d g, __m256d b) {
        // (A + 2^23) >> 24 in bits 24 to 31: A + 2^23, below 2^32, is the low
        // half of the bits of A + 2^52 + 2^23, a sum without rounding.
        const __m256i whole = _mm256_castpd_si256(_mm256_add_pd(a, _mm256_set1_pd(0x1p52 + 0x1p23)));
        const __m256i alphaBits = _mm256_and_si256(whole, alphaMask);
        // A = 0 has C = 0, which any finite inverse takes to 0.
        const __m256d inverse = _mm256_div_pd(_mm256_set1_pd(kRaise), _mm256_max_pd(a, _mm256_set1_pd(1.0)));
        return Quotients4(r, g, b, inverse, alphaBits);
    };
    pixels = Join8(four(a0, r0, g0, b0), four(a1, r1, g1, b1));
    return Kind::Mixed;
}

// sink(k, kind, pixels) for each eight pixels k to k + 7 of n (rounded up).
template <class Sink>
inline void Down(const AcrossSums* rows, int count, int n, const Sink& sink) {
    __m256i pixels = _mm256_setzero_si256();
    if (count == 2) {   // every enlargement
        const double* p0[4] = {rows[0].a, rows[0].r, rows[0].g, rows[0].b};
        const double* p1[4] = {rows[1].a, rows[1].r, rows[1].g, rows[1].b};
        const __m256d w0 = _mm256_set1_pd(rows[0].weight), w1 = _mm256_set1_pd(rows[1].weight);
        auto sum = [&](int plane, int k) {
            return _mm256_fmadd_pd(w1, _mm256_loadu_pd(p1[plane] + k), _mm256_mul_pd(w0, _mm256_loadu_pd(p0[plane] + k)));
        };
        for (int i = 0; i < n; i += 8) {
            const Kind kind = Down8(sum, i, pixels);
            sink(i, kind, pixels);
        }
        return;
    }
    auto sum = [&](int plane, int k) {
        __m256d total = _mm256_setzero_pd();
        for (int t = 0; t < count; ++t) {
            const double* p = plane == 0 ? rows[t].a : plane == 1 ? rows[t].r : plane == 2 ? rows[t].g : rows[t].b;
            total = _mm256_fmadd_pd(_mm256_set1_pd(rows[t].weight), _mm256_loadu_pd(p + k), total);
        }
        return total;
    };
    for (int i = 0; i < n; i += 8) {
        const Kind kind = Down8(sum, i, pixels);
        sink(i, kind, pixels);
    }
}

} // namespace

void StretchDownAvx2(const AcrossSums* rows, int count, int n, uint32_t* out) {
    Down(rows, count, n, [=](int k, Kind, __m256i pixels) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), pixels);
    });
}

void StretchDownOverAvx2(const AcrossSums* rows, int count, int n, uint32_t* dest) {
    const NormalOverLanes lanes = MakeNormalOverLanes();
    Down(rows, count, n, [dest, n, &lanes](int k, Kind kind, __m256i pixels) {
        if (kind == Kind::Clear) return;
        if (k + 8 > n) {   // the last few
            alignas(32) uint32_t samples[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(samples), pixels);
            NormalRow(dest + k, samples, n - k, false);
        } else if (kind == Kind::Opaque) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + k), pixels);
        } else {
            NormalOver8(dest + k, pixels, lanes);
        }
    });
}

PEMBERLY_AVX2_FMA_END

} // namespace Zephra::raster
