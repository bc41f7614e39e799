// Bilinear rotated blit onto locked surface memory: the inverse mapping per
// row in floating point, 16.16 steps per pixel, spans clipped by guard bands.
#include <algorithm>
#include <cmath>
#include "framework/display/surface_kernels.h"
#include "framework/display/surface_simd.h"
#include <immintrin.h>
#include "platform/simd_target.h"

namespace Zephra::surface {

namespace {

// The four taps of a sample: weights pre-multiplied by the taps' alpha and the
// three channel sums formed in place.
struct Sample {
    uint32_t k = 256;
    uint32_t sumR = 0, sumG = 0, sumB = 0;
};

struct Taps {
    const uint32_t* bits;
    const uint8_t* indices;
    const uint32_t* palette;
    int width;
    uint32_t At(size_t i) const { return bits ? bits[i] : palette[indices[i]]; }
};

inline Sample Bilinear(const Taps& src, size_t origin, int64_t U, int64_t V, uint32_t tintAlpha, bool tinted) {
    const size_t p = origin + size_t(V >> 16) * size_t(src.width) + size_t(U >> 16);
    const uint32_t c[4] = {src.At(p), src.At(p + 1), src.At(p + size_t(src.width)), src.At(p + size_t(src.width) + 1)};
    const uint32_t fu = uint32_t(U & 0xFFFE) + 1, fv = uint32_t(V & 0xFFFE) + 1;
    const uint32_t w[4] = {(0x10000 - fu) * (0x10000 - fv), fu * (0x10000 - fv), (0x10000 - fu) * fv, fu * fv};
    Sample s;
    uint32_t total = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t a = ((w[i] >> 16) * (c[i] >> 24)) >> 16;
        if (tinted) a = (a * tintAlpha) >> 8;
        total += a;
        s.sumR += (c[i] & 0xFF0000) * a;
        s.sumG += (c[i] & 0xFF00) * a;
        s.sumB += (c[i] & 0xFF) * a;
    }
    s.k = 256 - total;
    return s;
}

enum class Loop { Packed565, Packed555, Packed8888, Generic, Tinted, Additive };

struct Writer {
    const PixelFormat& f;
    Loop loop;
    uint32_t tint[3];       // red + 1 ... for the tinted loop, tR ... for the additive one
    uint32_t Write(uint32_t d, const Sample& s) const {
        switch (loop) {
        case Loop::Packed565:
        case Loop::Packed555: {
            const bool is565 = loop == Loop::Packed565;
            const uint32_t mask = is565 ? 0x07E0F81F : 0x03E07C1F;
            const uint32_t p = ((s.sumR >> 8) & 0xFF0000) | ((s.sumG >> 8) & 0xFF00) | ((s.sumB >> 8) & 0xFF);
            uint32_t x = (((((d << 16) | d) & mask) * (s.k >> 3)) >> 5) & mask;
            if (is565)
                x += ((p & 0xFC00) << 11) + ((p >> 3) & 0x1F) + ((p >> 8) & 0xF800);
            else
                x += ((p >> 3) & 0x1F) + ((p >> 9) & 0x7C00) + ((p & 0xF800) << 10);
            return ((x >> 16) | x) & 0xFFFF;
        }
        case Loop::Packed8888: {
            const uint32_t r = (((s.sumR >> 16) >> 8) + ((((d >> 16) & 0xFF) * s.k) >> 8)) & 0xFF;
            const uint32_t g = (((s.sumG >> 8) >> 8) + ((((d >> 8) & 0xFF) * s.k) >> 8)) & 0xFF;
            const uint32_t b = ((s.sumB >> 8) + (((d & 0xFF) * s.k) >> 8)) & 0xFF;
            return (r << 16) | (g << 8) | b;
        }
        case Loop::Generic:
        case Loop::Tinted: {
            const bool tinted = loop == Loop::Tinted;
            const uint32_t src[3] = {
                tinted ? ((s.sumR >> 8) * tint[0]) >> (32 - f.bits[0]) : s.sumR >> (32 - f.bits[0]),
                tinted ? ((s.sumG >> 8) * tint[1]) >> (24 - f.bits[1]) : s.sumG >> (24 - f.bits[1]),
                tinted ? ((s.sumB >> 8) * tint[2]) >> (16 - f.bits[2]) : s.sumB >> (16 - f.bits[2])};
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c) v |= (src[c] << f.shift[c]) + ((((d & f.mask[c]) * s.k) >> 8) & f.mask[c]);
            return v;
        }
        case Loop::Additive: {
            const uint32_t i0 = (((s.sumR >> (32 - f.bits[0])) * tint[0]) >> 8) + ((d & f.mask[0]) >> f.shift[0]);
            const uint32_t i1 = ((s.sumG * tint[1]) >> (32 - f.bits[1])) + ((d & f.mask[1]) >> f.shift[1]);
            const uint32_t i2 = ((s.sumB * tint[2]) >> (24 - f.bits[2])) + ((d & f.mask[2]) >> f.shift[2]);
            return (uint32_t(f.add[0][std::min<uint32_t>(i0, kAddTableSize - 1)]) << f.shift[0]) |
                   (uint32_t(f.add[1][std::min<uint32_t>(i1, kAddTableSize - 1)]) << f.shift[1]) |
                   (uint32_t(f.add[2][std::min<uint32_t>(i2, kAddTableSize - 1)]) << f.shift[2]);
        }
        }
        return d;
    }
};

// The span of a row that keeps the 2 x 2 footprint inside the W x H source
// rectangle, by the guard bands; false when the row draws nothing.
bool Span(int64_t& U, int64_t& V, int64_t dU, int64_t dV, int64_t W, int64_t H, int64_t& first, int64_t& last) {
    first = 0;
    if (dU < 0) {
        if ((U >> 16) < 0) return false;
        int64_t f = ((W << 16) - U - 0x27FFF) / dU;
        if (f >= 0) first = f;
        int64_t l = (0x7FFF - U) / dU;
        if (l < last) last = l;
    } else if (dU > 0) {
        if ((U >> 16) >= W - 1) return false;
        int64_t f = (0x10000 - U) / dU;
        if (f > 0) first = f;
        int64_t l = ((W << 16) - U - 0x17FFF) / dU;
        if (l < last) last = l;
    } else if (U < 0 || U >= (W << 16) - 0x10000) {
        return false;
    }
    if (dV < 0) {
        if ((V >> 16) < 0) return false;
        int64_t f = ((H << 16) - V - 0x27FFF) / dV;
        if (f > first) first = f;
        int64_t l = -(V / dV);
        if (l < last) last = l;
    } else if (dV > 0) {
        if ((V >> 16) >= H - 1) return false;
        int64_t f = (0x10000 - V) / dV;
        if (f > first) first = f;
        int64_t l = ((H << 16) - V - 0x17FFF) / dV;
        if (l < last) last = l;
    } else if (V < 0 || V >= (H << 16) - 0x10000) {
        return false;
    }
    // The guard bands hold for every step the mapping can make; the ends are
    // checked as well so that no rounding can read outside the rectangle.
    auto inside = [&](int64_t i) {
        const int64_t u = (U + i * dU) >> 16, v = (V + i * dV) >> 16;
        return u >= 0 && u <= W - 2 && v >= 0 && v <= H - 2;
    };
    while (first <= last && !inside(first)) ++first;
    while (first <= last && !inside(last)) --last;
    U += first * dU;
    V += first * dV;
    return first <= last;
}

// ---- SSE2: four pixels at once, one per 32-bit lane ----

// Channel sums of four samples: rb holds Σ b·A in the low and Σ r·A in the
// high 16 bits of each pixel's lane, g Σ g·A in the low 16 bits; k = 256 − ΣA.
struct Sums4 {
    __m128i rb, g, k;
    bool empty = false;   // every tap transparent: the destination keeps its colour
};

template <bool Tinted, bool Palette>
inline Sums4 Sample4(const Taps& taps, size_t origin, int64_t U, int64_t V, int64_t dU, int64_t dV,
                     uint32_t tintAlpha) {
    __m128i t[4];
    const size_t w = size_t(taps.width);
    for (int i = 0; i < 4; ++i) {
        const size_t p = origin + size_t((V + i * dV) >> 16) * w + size_t((U + i * dU) >> 16);
        if constexpr (!Palette) {
            t[i] = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(taps.bits + p)),
                                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(taps.bits + p + w)));
        } else {
            const uint32_t* pal = taps.palette;
            const uint8_t* ix = taps.indices;
            t[i] = _mm_setr_epi32(int(pal[ix[p]]), int(pal[ix[p + 1]]), int(pal[ix[p + w]]), int(pal[ix[p + w + 1]]));
        }
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i any = _mm_srli_epi32(_mm_or_si128(_mm_or_si128(t[0], t[1]), _mm_or_si128(t[2], t[3])), 24);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(any, zero)) == 0xFFFF) {
        Sums4 none{zero, zero, zero};
        none.empty = true;
        return none;
    }
    // Rows of t are pixels [c00 c10 c01 c11]; transposed, each register is one tap of the four pixels.
    const __m128i a01 = _mm_unpacklo_epi32(t[0], t[1]), a23 = _mm_unpacklo_epi32(t[2], t[3]);
    const __m128i b01 = _mm_unpackhi_epi32(t[0], t[1]), b23 = _mm_unpackhi_epi32(t[2], t[3]);
    const __m128i tap[4] = {_mm_unpacklo_epi64(a01, a23), _mm_unpackhi_epi64(a01, a23), _mm_unpacklo_epi64(b01, b23),
                            _mm_unpackhi_epi64(b01, b23)};
    const __m128i one = _mm_set1_epi32(1), low = _mm_set1_epi32(0xFFFE);
    const __m128i uv = _mm_setr_epi32(int(U), int(U + dU), int(U + 2 * dU), int(U + 3 * dU));
    const __m128i vv = _mm_setr_epi32(int(V), int(V + dV), int(V + 2 * dV), int(V + 3 * dV));
    const __m128i fu = _mm_or_si128(_mm_and_si128(uv, low), one), fv = _mm_or_si128(_mm_and_si128(vv, low), one);
    const __m128i gu = _mm_sub_epi16(zero, fu), gv = _mm_sub_epi16(zero, fv);   // 0x10000 − f in the low halves
    const __m128i wt[4] = {_mm_mulhi_epu16(gu, gv), _mm_mulhi_epu16(fu, gv), _mm_mulhi_epu16(gu, fv),
                           _mm_mulhi_epu16(fu, fv)};
    const __m128i m = _mm_set1_epi32(0x00FF00FF), ca = _mm_set1_epi32(int(tintAlpha));
    Sums4 s{zero, zero, zero};
    __m128i total = zero;
    for (int i = 0; i < 4; ++i) {
        __m128i a = _mm_mulhi_epu16(wt[i], _mm_srli_epi32(tap[i], 24));
        if constexpr (Tinted) a = _mm_srli_epi16(_mm_mullo_epi16(a, ca), 8);
        const __m128i a2 = _mm_or_si128(a, _mm_slli_epi32(a, 16));
        total = _mm_add_epi32(total, a);
        s.rb = _mm_add_epi16(s.rb, _mm_mullo_epi16(_mm_and_si128(tap[i], m), a2));
        s.g = _mm_add_epi16(s.g, _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(tap[i], 8), m), a2));
    }
    s.g = _mm_and_si128(s.g, _mm_set1_epi32(0xFFFF));
    s.k = _mm_sub_epi32(_mm_set1_epi32(256), total);
    return s;
}

// x times t, both below 2^16, as a full 32-bit product per lane.
inline __m128i Mul32(__m128i x, __m128i t) {
    return _mm_or_si128(_mm_mullo_epi16(x, t), _mm_slli_epi32(_mm_mulhi_epu16(x, t), 16));
}
inline __m128i Srl(__m128i x, int n) { return _mm_srl_epi32(x, _mm_cvtsi32_si128(n)); }
inline __m128i Sll(__m128i x, int n) { return _mm_sll_epi32(x, _mm_cvtsi32_si128(n)); }

// Four destination pixels in 32-bit lanes, and back.
template <typename T>
inline __m128i LoadPixels(const T* d) {
    if constexpr (sizeof(T) == 4)
        return simd::Load(d);
    else
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d)), _mm_setzero_si128());
}
template <typename T>
inline void StorePixels(T* d, __m128i v) {
    if constexpr (sizeof(T) == 4)
        simd::Store(d, v);
    else
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), simd::Low16(v, _mm_setzero_si128()));
}

inline __m128i Write8888(const Sums4& s, __m128i d) {
    const __m128i m = _mm_set1_epi32(0x00FF00FF);
    const __m128i k2 = _mm_or_si128(s.k, _mm_slli_epi32(s.k, 16));
    const __m128i drb = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(d, m), k2), 8);
    const __m128i dg = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(d, 8), m), k2), 8);
    const __m128i outRB = _mm_and_si128(_mm_add_epi16(_mm_srli_epi16(s.rb, 8), drb), m);
    const __m128i outG = _mm_and_si128(_mm_add_epi16(_mm_srli_epi16(s.g, 8), dg), _mm_set1_epi32(0xFF));
    return _mm_or_si128(outRB, _mm_slli_epi32(outG, 8));
}

// The packed 565 and 555 rules field by field: each field of the spread
// destination weighted by k >> 3, the source's top bits added, and the halves
// folded together (a carry out of a field lands where the fold puts it).
inline __m128i WritePacked16(const Sums4& s, __m128i d, bool is565) {
    const __m128i m5 = _mm_set1_epi32(31), k3 = _mm_srli_epi32(s.k, 3);
    const __m128i pr = _mm_srli_epi32(s.rb, 24), pg = _mm_srli_epi32(s.g, 8);
    const __m128i pb = _mm_and_si128(_mm_srli_epi32(s.rb, 8), _mm_set1_epi32(0xFF));
    auto weigh = [&](__m128i field) { return _mm_srli_epi32(_mm_mullo_epi16(field, k3), 5); };
    if (is565) {
        const __m128i r = _mm_add_epi32(weigh(_mm_srli_epi32(d, 11)), _mm_srli_epi32(pr, 3));
        const __m128i g = _mm_add_epi32(weigh(_mm_and_si128(_mm_srli_epi32(d, 5), _mm_set1_epi32(63))), _mm_srli_epi32(pg, 2));
        const __m128i b = _mm_add_epi32(weigh(_mm_and_si128(d, m5)), _mm_srli_epi32(pb, 3));
        const __m128i out = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(r, 11), b), _mm_or_si128(_mm_slli_epi32(g, 5), _mm_srli_epi32(r, 5)));
        return _mm_and_si128(out, _mm_set1_epi32(0xFFFF));
    }
    const __m128i r = _mm_add_epi32(weigh(_mm_and_si128(_mm_srli_epi32(d, 10), m5)), _mm_srli_epi32(pr, 3));
    const __m128i g = _mm_add_epi32(weigh(_mm_and_si128(_mm_srli_epi32(d, 5), m5)), _mm_srli_epi32(pg, 3));
    const __m128i b = _mm_add_epi32(weigh(_mm_and_si128(d, m5)), _mm_srli_epi32(pb, 3));
    return _mm_and_si128(_mm_or_si128(_mm_or_si128(_mm_slli_epi32(r, 10), _mm_slli_epi32(g, 5)), b), _mm_set1_epi32(0xFFFF));
}

// Generic, tinted and additive rules channel by channel through the format's
// shifts and widths.
inline __m128i WriteChannels(const Sums4& s, __m128i d, const Writer& w) {
    const PixelFormat& f = w.f;
    const __m128i sums[3] = {_mm_srli_epi32(s.rb, 16), s.g, _mm_and_si128(s.rb, _mm_set1_epi32(0xFFFF))};
    __m128i out = _mm_setzero_si128();
    for (int c = 0; c < 3; ++c) {
        const int b = f.bits[c];
        const __m128i max = _mm_set1_epi32((1 << b) - 1);
        const __m128i dc = _mm_and_si128(Srl(d, f.shift[c]), max);
        const __m128i t = _mm_set1_epi32(int(w.tint[c]));
        __m128i v;
        if (w.loop == Loop::Additive) {
            __m128i src;
            if (c == 0)
                src = _mm_srli_epi32(_mm_mullo_epi16(Srl(sums[0], 16 - b), t), 8);
            else
                src = Srl(Mul32(sums[c], t), 24 - b);
            v = _mm_add_epi32(src, dc);
            // min(v, max) on values far below 2^31.
            const __m128i over = _mm_cmpgt_epi32(v, max);
            v = _mm_or_si128(_mm_and_si128(over, max), _mm_andnot_si128(over, v));
        } else {
            __m128i src;
            if (w.loop == Loop::Tinted)
                src = c == 2 ? Srl(_mm_mullo_epi16(_mm_srli_epi32(sums[2], 8), t), 16 - b) : Srl(Mul32(sums[c], t), 24 - b);
            else
                src = Srl(sums[c], 16 - b);
            const __m128i dpart = _mm_and_si128(_mm_srli_epi32(_mm_mullo_epi16(dc, s.k), 8), max);
            v = _mm_add_epi32(src, dpart);
        }
        out = _mm_or_si128(out, Sll(v, f.shift[c]));
    }
    return out;
}

template <typename T, Loop L>
inline void Write4(T* d, const Sums4& s, const Writer& w) {
    const __m128i dv = LoadPixels(d);
    if (s.empty) {
        // k = 256 and no source: every rule gives back the destination's colour bits.
        StorePixels(d, _mm_and_si128(dv, _mm_set1_epi32(int(w.f.ColourMask()))));
        return;
    }
    if constexpr (L == Loop::Packed8888)
        StorePixels(d, Write8888(s, dv));
    else if constexpr (L == Loop::Packed565 || L == Loop::Packed555)
        StorePixels(d, WritePacked16(s, dv, L == Loop::Packed565));
    else
        StorePixels(d, WriteChannels(s, dv, w));
}

// Whole groups of four from pixel i of a row; returns where the plain loop
// takes over. One instance per depth, loop and source form.
template <typename T, Loop L, bool Palette>
int64_t RowFast(T* d, int64_t i, int64_t last, int64_t& U, int64_t& V, int64_t dU, int64_t dV, const Taps& taps,
                size_t origin, const Writer& w, uint32_t tintAlpha) {
    for (; i + 3 <= last; i += 4, U += 4 * dU, V += 4 * dV)
        Write4<T, L>(d + i, Sample4<L == Loop::Tinted, Palette>(taps, origin, U, V, dU, dV, tintAlpha), w);
    return i;
}

template <typename T>
using RowFn = int64_t (*)(T*, int64_t, int64_t, int64_t&, int64_t&, int64_t, int64_t, const Taps&, size_t, const Writer&,
                          uint32_t);

template <typename T, bool Palette>
RowFn<T> PickRow(Loop l) {
    switch (l) {
    case Loop::Packed8888: return RowFast<T, Loop::Packed8888, Palette>;
    case Loop::Packed565: return RowFast<T, Loop::Packed565, Palette>;
    case Loop::Packed555: return RowFast<T, Loop::Packed555, Palette>;
    case Loop::Generic: return RowFast<T, Loop::Generic, Palette>;
    case Loop::Tinted: return RowFast<T, Loop::Tinted, Palette>;
    case Loop::Additive: return RowFast<T, Loop::Additive, Palette>;
    }
    return nullptr;
}

// ---- AVX2, behind a run-time check: eight pixels of the packed 8888, 565 and
// 555 loops. The channel sums come from byte multiply-adds: each pixel's two
// taps of a source row are interleaved channel by channel against their two
// weights, the colour biased by −128 so that it fits a signed byte (the bias
// is added back as 128·ΣA), and a fourth lane of ones yields ΣA itself. Since
// the four weights sum to at most 255 no partial sum saturates. ----

PEMBERLY_AVX2_BEGIN

// The 16.16 walk of eight pixels: 32-bit coordinates for the tap offsets and
// their low halves, each twice over in 16-bit lanes ([u0 u0 u1 u1 … u7 u7]),
// for the weights.
struct Walk8 {
    __m256i u, v, uw, vw, du, dv, duw, dvw;
    Walk8(int64_t U, int64_t V, int64_t dU, int64_t dV) {
        const __m256i step = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        u = _mm256_add_epi32(_mm256_set1_epi32(int(U)), _mm256_mullo_epi32(step, _mm256_set1_epi32(int(dU))));
        v = _mm256_add_epi32(_mm256_set1_epi32(int(V)), _mm256_mullo_epi32(step, _mm256_set1_epi32(int(dV))));
        const __m256i twice = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13,
                                               0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
        uw = _mm256_shuffle_epi8(u, twice);
        vw = _mm256_shuffle_epi8(v, twice);
        du = _mm256_set1_epi32(int(8 * dU));
        dv = _mm256_set1_epi32(int(8 * dV));
        duw = _mm256_set1_epi16(short(8 * dU));
        dvw = _mm256_set1_epi16(short(8 * dV));
    }
    void Next() {
        u = _mm256_add_epi32(u, du);
        v = _mm256_add_epi32(v, dv);
        uw = _mm256_add_epi16(uw, duw);
        vw = _mm256_add_epi16(vw, dvw);
    }
};

// A constant the compiler may no longer rebuild inside the loop: it stays in
// a register or is read from the stack, instead of three instructions a use.
__attribute__((always_inline)) inline __m256i Opaque(__m256i v) {
    asm("" : "+x"(v));
    return v;
}

// The constants of Sample8, made once a row. The channel order of the sums
// is the writer's: blue, green, red or blue, red, green.
struct Consts8 {
    __m256i width, alpha, low, one, bias, interleave;
    Consts8(size_t w, bool redSecond)
        : width(Opaque(_mm256_set1_epi32(int(w)))), alpha(Opaque(_mm256_set1_epi32(int(0xFF000000)))),
          low(Opaque(_mm256_set1_epi16(short(0xFFFE)))), one(Opaque(_mm256_set1_epi16(1))),
          bias(Opaque(_mm256_set1_epi64x(0x0101808080808080))),
          interleave(redSecond ? _mm256_setr_epi8(0, 4, 2, 6, 1, 5, -1, -1, 8, 12, 10, 14, 9, 13, -1, -1,
                                                  0, 4, 2, 6, 1, 5, -1, -1, 8, 12, 10, 14, 9, 13, -1, -1)
                               : _mm256_setr_epi8(0, 4, 1, 5, 2, 6, -1, -1, 8, 12, 9, 13, 10, 14, -1, -1,
                                                  0, 4, 1, 5, 2, 6, -1, -1, 8, 12, 9, 13, 10, 14, -1, -1)) {}
};

// Σ x·A per channel of eight pixels in 16-bit lanes, three channels and ΣA per pixel,
// pixels 0 1 | 4 5 in lo and 2 3 | 6 7 in hi; sa holds each pixel's ΣA in all
// four of its lanes.
struct Sums8 {
    __m256i lo, hi, saLo, saHi;
    bool empty;   // every tap transparent: the destination keeps its colour
};

__attribute__((always_inline)) inline Sums8 Sample8(const uint32_t* base, size_t w, const Walk8& walk, const Consts8& c) {
    alignas(32) uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                       _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(walk.v, 16), c.width),
                                        _mm256_srli_epi32(walk.u, 16)));
    // Read back through memory: the load ports are idle while lane extracts
    // would crowd the vector ports.
    asm("" : "+m"(at));
    // Each pixel's pair of taps of one source row as one 64-bit load; four
    // pairs per register: pixels a, b | a + 4, b + 4.
    auto quad = [&](const uint32_t* row, int a) {
        auto pair = [&](int i) { return _mm256_castpd_si256(_mm256_broadcast_sd(reinterpret_cast<const double*>(row + at[i]))); };
        return _mm256_blend_epi32(_mm256_blend_epi32(_mm256_blend_epi32(pair(a), pair(a + 1), 0x0C), pair(a + 4), 0x30),
                                  pair(a + 5), 0xC0);
    };
    const __m256i topLo = quad(base, 0), topHi = quad(base, 2), botLo = quad(base + w, 0), botHi = quad(base + w, 2);
    Sums8 s;
    s.empty = _mm256_testz_si256(_mm256_or_si256(_mm256_or_si256(topLo, topHi), _mm256_or_si256(botLo, botHi)),
                                 c.alpha);
    if (s.empty) return s;

    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = c.low, one = c.one;
    const __m256i fu = _mm256_or_si256(_mm256_and_si256(walk.uw, low), one);
    const __m256i fv = _mm256_or_si256(_mm256_and_si256(walk.vw, low), one);
    const __m256i uWeight = _mm256_blend_epi16(_mm256_sub_epi16(zero, fu), fu, 0xAA);   // [0x10000 − fu, fu] per pixel
    const __m256i gv = _mm256_sub_epi16(zero, fv);
    // Alpha-weighted weights [A00 A10] (top) and [A01 A11] (bottom) per pixel, pixels 0 … 3 | 4 … 7.
    const __m256i alphaLo = _mm256_setr_epi8(3, -1, 7, -1, 11, -1, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                             3, -1, 7, -1, 11, -1, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i alphaHi = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 3, -1, 7, -1, 11, -1, 15, -1,
                                             -1, -1, -1, -1, -1, -1, -1, -1, 3, -1, 7, -1, 11, -1, 15, -1);
    auto alphas = [&](__m256i lo, __m256i hi) {
        return _mm256_or_si256(_mm256_shuffle_epi8(lo, alphaLo), _mm256_shuffle_epi8(hi, alphaHi));
    };
    const __m256i aTop = _mm256_mulhi_epu16(_mm256_mulhi_epu16(uWeight, gv), alphas(topLo, topHi));
    const __m256i aBot = _mm256_mulhi_epu16(_mm256_mulhi_epu16(uWeight, fv), alphas(botLo, botHi));
    const __m256i spreadLo = _mm256_setr_epi8(0, 2, 0, 2, 0, 2, 0, 2, 4, 6, 4, 6, 4, 6, 4, 6,
                                              0, 2, 0, 2, 0, 2, 0, 2, 4, 6, 4, 6, 4, 6, 4, 6);
    const __m256i spreadHi = _mm256_setr_epi8(8, 10, 8, 10, 8, 10, 8, 10, 12, 14, 12, 14, 12, 14, 12, 14,
                                              8, 10, 8, 10, 8, 10, 8, 10, 12, 14, 12, 14, 12, 14, 12, 14);
    const __m256i bias = c.bias, interleave = c.interleave;
    auto madd = [&](__m256i taps, __m256i weights, const __m256i& spread) {
        return _mm256_maddubs_epi16(_mm256_shuffle_epi8(weights, spread),
                                    _mm256_xor_si256(_mm256_shuffle_epi8(taps, interleave), bias));
    };
    s.lo = _mm256_add_epi16(madd(topLo, aTop, spreadLo), madd(botLo, aBot, spreadLo));
    s.hi = _mm256_add_epi16(madd(topHi, aTop, spreadHi), madd(botHi, aBot, spreadHi));
    const __m256i fourth = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15,
                                            6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
    s.saLo = _mm256_shuffle_epi8(s.lo, fourth);
    s.saHi = _mm256_shuffle_epi8(s.hi, fourth);
    s.lo = _mm256_add_epi16(s.lo, _mm256_slli_epi16(s.saLo, 7));
    s.hi = _mm256_add_epi16(s.hi, _mm256_slli_epi16(s.saHi, 7));
    return s;
}

// Whole blocks of eight from pixel i of a row, and the rest of the row through
// the block that ends it, where the row is that long: the lanes before the
// rest take back the words they hold. Returns where the narrower loops take over.
template <typename T, typename Block>
__attribute__((always_inline)) inline int64_t RowAvx2(T* d, int64_t i, int64_t last, int64_t& U, int64_t& V,
                                                      int64_t dU, int64_t dV, const Taps& taps, size_t origin,
                                                      Block block) {
    if (i + 7 > last) return i;
    const uint32_t* base = taps.bits + origin;
    const size_t w = size_t(taps.width);
    const int64_t start = i;
    const Consts8 c(w, Block::kRedSecond);
    block.Hide();
    Walk8 walk(U, V, dU, dV);
    for (; i + 7 <= last; i += 8, walk.Next()) block.Store(d + i, block.Blend(d + i, Sample8(base, w, walk, c)), 0);
    if (i <= last) {
        const int64_t t = last - 7;
        const Walk8 tail(U + (t - start) * dU, V + (t - start) * dV, dU, dV);
        block.Store(d + t, block.Blend(d + t, Sample8(base, w, tail, c)), int(i - t));
        i = last + 1;
    }
    U += (i - start) * dU;
    V += (i - start) * dV;
    return i;
}

struct Block8888 {
    static constexpr bool kRedSecond = false;
    __m256i zero, k256, colours, rgb;
    Block8888()
        : zero(_mm256_setzero_si256()), k256(_mm256_set1_epi16(256)),
          colours(_mm256_set1_epi64x(0x000000FF00FF00FF)), rgb(_mm256_set1_epi32(0x00FFFFFF)) {}   // the top byte of a written pixel is 0
    void Hide() {
        k256 = Opaque(k256);
        colours = Opaque(colours);
        rgb = Opaque(rgb);
    }
    __m256i Blend(const uint32_t* d, const Sums8& s) const {
        const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
        if (s.empty) return _mm256_and_si256(dv, rgb);
        auto blend = [&](__m256i sum, __m256i sa, __m256i dst) {
            const __m256i kept = _mm256_srli_epi16(_mm256_mullo_epi16(dst, _mm256_sub_epi16(k256, sa)), 8);
            return _mm256_and_si256(_mm256_add_epi16(_mm256_srli_epi16(sum, 8), kept), colours);
        };
        return _mm256_packus_epi16(blend(s.lo, s.saLo, _mm256_unpacklo_epi8(dv, zero)),
                                   blend(s.hi, s.saHi, _mm256_unpackhi_epi8(dv, zero)));
    }
    // Lanes from `from` on.
    void Store(uint32_t* d, __m256i v, int from) const {
        __m256i* at = reinterpret_cast<__m256i*>(d);
        if (from > 0)
            v = _mm256_blendv_epi8(_mm256_loadu_si256(at), v,
                                   _mm256_cmpgt_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(from - 1)));
        _mm256_storeu_si256(at, v);
    }
};

// Pixels 0 1 | 4 5 and 2 3 | 6 7, one 64-bit group each, to one 32-bit lane
// each in order: the group's low half.
__attribute__((always_inline)) inline __m256i InOrder(__m256i lo, __m256i hi) {
    return _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(lo), _mm256_castsi256_ps(hi), 0x88));
}

// The packed 565 and 555 rules word for word: the destination spread over 32
// bits and weighted by k >> 3 with one multiply; P's fields are cut from the
// sums [B R G ΣA] by one multiply and placed by one multiply-add.
struct BlockPacked16 {
    static constexpr bool kRedSecond = true;
    __m256i low16, mask, fields, places, k256;
    __m128i colours;
    explicit BlockPacked16(bool is565)
        : low16(_mm256_set1_epi32(0xFFFF)), mask(_mm256_set1_epi32(is565 ? 0x07E0F81F : 0x03E07C1F)),
          fields(_mm256_set1_epi64x(is565 ? 0x0000004000200020 : 0x0000002000200020)),   // Σ >> 11, >> 11, >> 10 or 11
          places(_mm256_set1_epi64x(is565 ? 0x0000002008000001 : 0x0000002004000001)),   // b, r << 11 or 10; g << 5
          k256(_mm256_set1_epi32(256)), colours(_mm_set1_epi16(short(is565 ? 0xFFFF : 0x7FFF))) {}
    void Hide() {
        for (__m256i* v : {&low16, &mask, &fields, &places, &k256}) *v = Opaque(*v);
    }
    __m128i Blend(const uint16_t* d, const Sums8& s) const {
        if (s.empty) return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d)), colours);
        // Per pixel [b + r placed, g placed] in 64 bits; the g part goes to the high half.
        auto bits = [&](__m256i sum) {
            const __m256i q = _mm256_madd_epi16(_mm256_mulhi_epu16(sum, fields), places);
            return _mm256_or_si256(q, _mm256_srli_epi64(q, 16));
        };
        const __m256i p = InOrder(bits(s.lo), bits(s.hi));
        const __m256i k3 = _mm256_srli_epi32(_mm256_sub_epi32(k256, _mm256_and_si256(InOrder(s.saLo, s.saHi), low16)), 3);
        const __m256i dv = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d)));
        __m256i x = _mm256_and_si256(_mm256_or_si256(_mm256_slli_epi32(dv, 16), dv), mask);
        x = _mm256_add_epi32(_mm256_and_si256(_mm256_srli_epi32(_mm256_mullo_epi32(x, k3), 5), mask), p);
        const __m256i out = _mm256_and_si256(_mm256_or_si256(_mm256_srli_epi32(x, 16), x), low16);
        // Eight 32-bit lanes down to eight 16-bit pixels in order.
        return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(out, out), 0x08));
    }
    void Store(uint16_t* d, __m128i v, int from) const {
        __m128i* at = reinterpret_cast<__m128i*>(d);
        if (from > 0)
            v = _mm_blendv_epi8(_mm_loadu_si128(at), v,
                                _mm_cmpgt_epi16(_mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7), _mm_set1_epi16(short(from - 1))));
        _mm_storeu_si128(at, v);
    }
};

int64_t Row8888Avx2(uint32_t* d, int64_t i, int64_t last, int64_t& U, int64_t& V, int64_t dU, int64_t dV,
                    const Taps& taps, size_t origin) {
    return RowAvx2(d, i, last, U, V, dU, dV, taps, origin, Block8888());
}

int64_t RowPacked16Avx2(uint16_t* d, int64_t i, int64_t last, int64_t& U, int64_t& V, int64_t dU, int64_t dV,
                        const Taps& taps, size_t origin, bool is565) {
    return is565 ? RowAvx2(d, i, last, U, V, dU, dV, taps, origin, BlockPacked16(true))
                 : RowAvx2(d, i, last, U, V, dU, dV, taps, origin, BlockPacked16(false));
}

PEMBERLY_AVX2_END

template <typename T>
void Rotate(const SurfaceView& view, const Taps& taps, const Rotation& r, const Writer& w,
            bool tinted, uint32_t tintAlpha, Kernels k) {
    const bool fast = k != Kernels::Scalar;
    const bool wide = k == Kernels::Fast && taps.bits && simd::HasAvx2() &&
                      (sizeof(T) == 4 ? w.loop == Loop::Packed8888
                                      : (w.loop == Loop::Packed565 || w.loop == Loop::Packed555));
    const double cs = std::cos(r.angle), sn = std::sin(r.angle);
    const int64_t dU = int64_t(cs * 65536.0), dV = int64_t(sn * 65536.0);
    const int64_t W = r.srcRect.mWidth, H = r.srcRect.mHeight;
    const size_t origin = size_t(r.srcRect.mY) * size_t(taps.width) + size_t(r.srcRect.mX);
    const int64_t xs = int64_t(r.area.mX), ys = int64_t(r.area.mY);
    const int64_t lastCol = std::min<int64_t>(int64_t(r.area.mWidth - 1.0), view.width - 1 - xs);
    // The lanes hold 8-bit channels at most.
    const bool simd = fast && w.f.bits[0] <= 8 && w.f.bits[1] <= 8 && w.f.bits[2] <= 8;
    const RowFn<T> row = taps.bits ? PickRow<T, false>(w.loop) : PickRow<T, true>(w.loop);
    for (int64_t j = 0; double(j) < r.area.mHeight; ++j) {
        const int64_t Y = ys + j;
        if (Y < 0 || Y >= view.height) continue;
        const double dx = double(xs) - r.centerX - r.x, dy = double(Y) - r.centerY - r.y;
        const double u = (cs * dx - sn * dy + r.centerX) * 65536.0, v = (sn * dx + cs * dy + r.centerY) * 65536.0;
        if (!(std::fabs(u) < 1e15) || !(std::fabs(v) < 1e15)) continue;
        int64_t U = int64_t(u), V = int64_t(v), first = 0, last = lastCol;
        if (!Span(U, V, dU, dV, W, H, first, last)) continue;
        T* d = view.Row<T>(int(Y)) + xs;
        int64_t i = first;
        if (wide) {
            if constexpr (sizeof(T) == 4)
                i = Row8888Avx2(d, i, last, U, V, dU, dV, taps, origin);
            else
                i = RowPacked16Avx2(d, i, last, U, V, dU, dV, taps, origin, w.loop == Loop::Packed565);
        }
        if (simd) i = row(d, i, last, U, V, dU, dV, taps, origin, w, tintAlpha);
        for (; i <= last; ++i, U += dU, V += dV)
            d[i] = T(w.Write(d[i], Bilinear(taps, origin, U, V, tintAlpha, tinted)));
    }
}

} // namespace

void RotateBilinear(const SurfaceView& view, const PixelFormat& f, const ArgbSource& src, const Rotation& r,
                    const Color& color, bool additive, Kernels k) {
    const Rect& sr = r.srcRect;
    if (view.bits == nullptr || !f.Drawable() || (!src.bits && !(src.indices && src.palette)) || sr.IsEmpty() ||
        sr.mX < 0 || sr.mY < 0 || int64_t(sr.mX) + sr.mWidth > src.width || int64_t(sr.mY) + sr.mHeight > src.height)
        return;
    // The box is held inside the surface.
    Rotation rot = r;
    rot.area = r.area.Intersection(RectD(0, 0, view.width, view.height));
    if (!(rot.area.mWidth > 0) || !(rot.area.mHeight > 0) || !std::isfinite(r.angle)) return;
    const uint32_t red = Clamp8(color.mRed), green = Clamp8(color.mGreen), blue = Clamp8(color.mBlue);
    const uint32_t ca = Clamp8(color.mAlpha);
    Writer w{f, Loop::Generic, {}};
    bool tinted = false;
    if (additive) {
        w.loop = Loop::Additive;
        w.tint[0] = red * ca / 255;
        w.tint[1] = green * ca / 255;
        w.tint[2] = blue * ca / 255;
    } else if (!(color == Color::White)) {
        w.loop = Loop::Tinted;
        w.tint[0] = red + 1;
        w.tint[1] = green + 1;
        w.tint[2] = blue + 1;
        tinted = true;
    } else if (f.rgbOrder && f.bitCount == 16 && f.mask[1] == 0x7E0) {
        w.loop = Loop::Packed565;
    } else if (f.rgbOrder && f.bitCount == 16 && f.mask[1] == 0x3E0) {
        w.loop = Loop::Packed555;
    } else if (f.rgbOrder && f.ByteChannels()) {
        w.loop = Loop::Packed8888;
    }
    const Taps taps{src.bits, src.indices, src.palette, src.width};
    if (f.bitCount == 32)
        Rotate<uint32_t>(view, taps, rot, w, tinted, ca, k);
    else
        Rotate<uint16_t>(view, taps, rot, w, tinted, ca, k);
}

} // namespace Zephra::surface
