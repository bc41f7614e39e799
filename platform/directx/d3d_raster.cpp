// Triangle setup, span loops and texel decoding of the software 3D device.
// Setup is shared; each span is drawn either by the plain reference loop or by
// a loop specialised for the target layout, blend, filter and tint.
#include "platform/directx/d3d_raster.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include "platform/pixel_widening.h"
#include "platform/simd_target.h"

namespace platform::d3d {

namespace {

// ---- Pixel rules, shared by every loop ------------------------------------

// a * b / 255 rounded to nearest, a, b in 0..255.
inline uint32_t Mul8(uint32_t a, uint32_t b) { return (a * b + 127) / 255; }

inline uint32_t Chan(uint32_t p, int shift) { return (p >> shift) & 0xFF; }
inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// Target pixel as ARGB: 5- and 6-bit fields widened by repeating their top bits,
// alpha 255 where the layout has none.
inline uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }
inline uint32_t Widen6(uint32_t v) { return (v << 2) | (v >> 4); }

template <TargetLayout L>
inline uint32_t LoadPixel(const uint8_t* row, int x) {
    if constexpr (L == TargetLayout::RGB888) {
        const uint8_t* p = row + size_t(x) * 3;
        return Pack(255, p[2], p[1], p[0]);
    } else if constexpr (L == TargetLayout::ARGB8888 || L == TargetLayout::ABGR8888) {
        uint32_t p;
        std::memcpy(&p, row + size_t(x) * 4, 4);
        if constexpr (L == TargetLayout::ABGR8888) p = (p & 0xFF00FF00u) | Chan(p, 16) | (p & 0xFF) << 16;
        return p;
    } else {
        uint16_t p;
        std::memcpy(&p, row + size_t(x) * 2, 2);
        uint32_t hi, mid, lo;
        if constexpr (L == TargetLayout::RGB565 || L == TargetLayout::BGR565) {
            hi = Widen5(p >> 11);
            mid = Widen6((p >> 5) & 63);
            lo = Widen5(p & 31);
        } else {
            hi = Widen5((p >> 10) & 31);
            mid = Widen5((p >> 5) & 31);
            lo = Widen5(p & 31);
        }
        if constexpr (L == TargetLayout::RGB565 || L == TargetLayout::RGB555)
            return Pack(255, hi, mid, lo);
        else
            return Pack(255, lo, mid, hi);
    }
}

template <TargetLayout L>
inline void StorePixel(uint8_t* row, int x, uint32_t argb) {
    if constexpr (L == TargetLayout::RGB888) {
        uint8_t* p = row + size_t(x) * 3;
        p[0] = uint8_t(argb);
        p[1] = uint8_t(argb >> 8);
        p[2] = uint8_t(argb >> 16);
    } else if constexpr (L == TargetLayout::ARGB8888 || L == TargetLayout::ABGR8888) {
        uint32_t p = argb;
        if constexpr (L == TargetLayout::ABGR8888)
            p = (p & 0xFF00FF00u) | Chan(p, 16) | (p & 0xFF) << 16;
        std::memcpy(row + size_t(x) * 4, &p, 4);
    } else {
        uint32_t hi = Chan(argb, 16), mid = Chan(argb, 8), lo = argb & 0xFF;
        if constexpr (L == TargetLayout::BGR565 || L == TargetLayout::BGR555) std::swap(hi, lo);
        uint16_t p;
        if constexpr (L == TargetLayout::RGB565 || L == TargetLayout::BGR565)
            p = uint16_t((hi >> 3) << 11 | (mid >> 2) << 5 | lo >> 3);
        else
            p = uint16_t((hi >> 3) << 10 | (mid >> 3) << 5 | lo >> 3);
        std::memcpy(row + size_t(x) * 2, &p, 2);
    }
}

inline uint32_t LoadPixelAny(TargetLayout l, const uint8_t* row, int x) {
    switch (l) {
    case TargetLayout::RGB565: return LoadPixel<TargetLayout::RGB565>(row, x);
    case TargetLayout::BGR565: return LoadPixel<TargetLayout::BGR565>(row, x);
    case TargetLayout::RGB555: return LoadPixel<TargetLayout::RGB555>(row, x);
    case TargetLayout::BGR555: return LoadPixel<TargetLayout::BGR555>(row, x);
    case TargetLayout::ARGB8888: return LoadPixel<TargetLayout::ARGB8888>(row, x);
    case TargetLayout::ABGR8888: return LoadPixel<TargetLayout::ABGR8888>(row, x);
    case TargetLayout::RGB888: return LoadPixel<TargetLayout::RGB888>(row, x);
    }
    return 0;
}

inline void StorePixelAny(TargetLayout l, uint8_t* row, int x, uint32_t p) {
    switch (l) {
    case TargetLayout::RGB565: return StorePixel<TargetLayout::RGB565>(row, x, p);
    case TargetLayout::BGR565: return StorePixel<TargetLayout::BGR565>(row, x, p);
    case TargetLayout::RGB555: return StorePixel<TargetLayout::RGB555>(row, x, p);
    case TargetLayout::BGR555: return StorePixel<TargetLayout::BGR555>(row, x, p);
    case TargetLayout::ARGB8888: return StorePixel<TargetLayout::ARGB8888>(row, x, p);
    case TargetLayout::ABGR8888: return StorePixel<TargetLayout::ABGR8888>(row, x, p);
    case TargetLayout::RGB888: return StorePixel<TargetLayout::RGB888>(row, x, p);
    }
}

// Texture coordinates are 16.16 texel units; addresses clamp to the edge.
inline uint32_t PointSample(const Texture& t, int32_t u, int32_t v) {
    int x = std::clamp(u >> 16, 0, t.width - 1);
    int y = std::clamp(v >> 16, 0, t.height - 1);
    return t.texels[size_t(y) * size_t(t.width) + size_t(x)];
}

// Texel centres sit at half texels; weights are 8-bit, rows blended first.
inline uint32_t BilinearSample(const Texture& t, int32_t u, int32_t v) {
    int32_t su = int32_t(uint32_t(u) - 0x8000u), sv = int32_t(uint32_t(v) - 0x8000u);
    int x0 = su >> 16, y0 = sv >> 16;
    uint32_t fx = uint32_t(su >> 8) & 0xFF, fy = uint32_t(sv >> 8) & 0xFF;
    int x1 = std::clamp(x0 + 1, 0, t.width - 1), y1 = std::clamp(y0 + 1, 0, t.height - 1);
    x0 = std::clamp(x0, 0, t.width - 1);
    y0 = std::clamp(y0, 0, t.height - 1);
    const uint32_t* r0 = t.texels + size_t(y0) * size_t(t.width);
    const uint32_t* r1 = t.texels + size_t(y1) * size_t(t.width);
    uint32_t c00 = r0[x0], c10 = r0[x1], c01 = r1[x0], c11 = r1[x1];
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8) {
        uint32_t h0 = (Chan(c00, s) * (256 - fx) + Chan(c10, s) * fx) >> 8;
        uint32_t h1 = (Chan(c01, s) * (256 - fx) + Chan(c11, s) * fx) >> 8;
        out |= ((h0 * (256 - fy) + h1 * fy) >> 8) << s;
    }
    return out;
}

inline uint32_t StageArg(StageOp op, uint32_t tex, uint32_t diff) {
    switch (op) {
    case StageOp::Modulate: return Mul8(tex, diff);
    case StageOp::SelectTexture: return tex;
    case StageOp::SelectDiffuse: return diff;
    }
    return tex;
}

// Stage 0 and the specular sum.
inline uint32_t Shade(const RasterState& s, uint32_t tex, uint32_t diff, uint32_t specular) {
    uint32_t a = StageArg(s.alphaOp, Chan(tex, 24), Chan(diff, 24));
    uint32_t r = StageArg(s.colorOp, Chan(tex, 16), Chan(diff, 16));
    uint32_t g = StageArg(s.colorOp, Chan(tex, 8), Chan(diff, 8));
    uint32_t b = StageArg(s.colorOp, tex & 0xFF, diff & 0xFF);
    if (s.specular) {
        r = std::min(255u, r + Chan(specular, 16));
        g = std::min(255u, g + Chan(specular, 8));
        b = std::min(255u, b + (specular & 0xFF));
    }
    return Pack(a, r, g, b);
}

inline uint32_t Factor(BlendFactor f, uint32_t sc, uint32_t sa, uint32_t dc, uint32_t da) {
    switch (f) {
    case BlendFactor::Zero: return 0;
    case BlendFactor::One: return 255;
    case BlendFactor::SrcAlpha: return sa;
    case BlendFactor::InvSrcAlpha: return 255 - sa;
    case BlendFactor::SrcColor: return sc;
    case BlendFactor::InvSrcColor: return 255 - sc;
    case BlendFactor::DestAlpha: return da;
    case BlendFactor::InvDestAlpha: return 255 - da;
    case BlendFactor::DestColor: return dc;
    case BlendFactor::InvDestColor: return 255 - dc;
    }
    return 0;
}

// src * srcFactor + dest * destFactor per channel, rounded, saturated.
inline uint32_t Blend(BlendFactor sf, BlendFactor df, uint32_t src, uint32_t dst) {
    uint32_t sa = src >> 24, da = dst >> 24, out = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        uint32_t sc = Chan(src, sh), dc = Chan(dst, sh);
        uint32_t v = (sc * Factor(sf, sc, sa, dc, da) + dc * Factor(df, sc, sa, dc, da) + 127) / 255;
        out |= std::min(v, 255u) << sh;
    }
    return out;
}

// ---- Setup -----------------------------------------------------------------

// Interpolated attributes, in 16.16 fixed point.
enum { kU, kV, kA, kR, kG, kB, kSR, kSG, kSB, kAttrs };

struct Span {
    uint8_t* row;
    int x;
    int count;
    int32_t start[kAttrs];
    bool wide = false;   // the AVX2 loops may draw it
};

// Attribute i at pixel n of a span; wrapping keeps absurd gradients defined.
inline int32_t At(const Span& s, const int32_t* step, int a, int n) {
    return int32_t(uint32_t(s.start[a]) + uint32_t(n) * uint32_t(step[a]));
}

inline uint32_t ColorAt(int32_t a, int32_t r, int32_t g, int32_t b) {
    auto c = [](int32_t v) { return uint32_t(std::clamp(v >> 16, 0, 255)); };
    return Pack(c(a), c(r), c(g), c(b));
}

// v in 16.16, rounded to nearest; the clamp comes first so that the
// truncation below is defined, which then gives the floor.
__attribute__((always_inline)) inline int32_t ToFixed(double v) {
    const double f = std::clamp(v * 65536.0 + 0.5, -2147483648.0, 2147483647.0);
    const int64_t t = int64_t(f);
    return int32_t(t - (double(t) > f));
}

inline int64_t FloorDiv(int64_t a, int64_t b) {   // b > 0
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}
inline int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// The pixel bound one edge sets on each row, stepped exactly from row to row:
// with the edge value C(row) = C + D * row and the coefficient A of x, a lower
// bound ceil((bias - C) / A) when A > 0, an upper bound floor((C - bias) / -A)
// when A < 0, kept as a quotient and remainder so that no row divides.
struct EdgeWalk {
    int sign = 0;           // 1 lower bound, -1 upper bound, 0 all or nothing
    int64_t q = 0, r = 0;   // bound and remainder, 0 <= r < div
    int64_t dq = 0, dr = 0; // the per-row step split the same way
    int64_t div = 1;
    int64_t c = 0, d = 0, bias = 0;   // for sign 0

    void Start(int64_t a, int64_t cRow, int64_t step, int64_t edgeBias) {
        if (a == 0) {
            sign = 0;
            c = cRow;
            d = step;
            bias = edgeBias;
            return;
        }
        sign = a > 0 ? 1 : -1;
        div = a > 0 ? a : -a;
        // Lower bounds step the numerator down by `step`, upper ones up.
        const int64_t num = a > 0 ? edgeBias - cRow : cRow - edgeBias;
        if (a > 0) {
            q = CeilDiv(num, div);
            r = q * div - num;
        } else {
            q = FloorDiv(num, div);
            r = num - q * div;
        }
        dq = FloorDiv(step, div);
        dr = step - dq * div;
    }
    void Bound(int64_t& lo, int64_t& hi) const {
        if (sign > 0)
            lo = std::max(lo, q);
        else if (sign < 0)
            hi = std::min(hi, q);
        else if (c < bias)
            hi = lo - 1;
    }
    void Next() {
        if (sign == 0) {
            c += d;
            return;
        }
        r += dr;
        if (sign > 0) {
            q -= dq;
            if (r >= div) {
                r -= div;
                q -= 1;
            }
        } else {
            q += dq;
            if (r >= div) {
                r -= div;
                q += 1;
            }
        }
    }
};

// Positions snap to 1/16 pixel; coverage is decided exactly on the snapped
// triangle: a pixel centre strictly inside is drawn, one on a top or left
// edge too, so triangles sharing an edge draw each of its pixels once.
constexpr double kCoordLimit = 1 << 20;

using SpanFn = void (*)(const Span&, const int32_t* step, const Texture*, const RasterState&,
                        TargetLayout);

void SpanReference(const Span& sp, const int32_t* step, const Texture* tex, const RasterState& s,
                   TargetLayout layout) {
    for (int n = 0; n < sp.count; ++n) {
        int x = sp.x + n;
        uint32_t texel = 0xFFFFFFFF;   // no texture: the stage sees opaque white
        if (tex) {
            int32_t u = At(sp, step, kU, n), v = At(sp, step, kV, n);
            texel = s.linear ? BilinearSample(*tex, u, v) : PointSample(*tex, u, v);
        }
        uint32_t diff = ColorAt(At(sp, step, kA, n), At(sp, step, kR, n), At(sp, step, kG, n), At(sp, step, kB, n));
        uint32_t specular = ColorAt(0, At(sp, step, kSR, n), At(sp, step, kSG, n), At(sp, step, kSB, n));
        uint32_t src = Shade(s, texel, diff, specular);
        if (s.blend) src = Blend(s.srcBlend, s.destBlend, src, LoadPixelAny(layout, sp.row, x));
        StorePixelAny(layout, sp.row, x, src);
    }
}

// ---- Specialised span loops ------------------------------------------------

enum class BlendKind { Opaque, Alpha, Add, AlphaAdd };   // off, SRCALPHA/INVSRCALPHA, ONE/ONE, SRCALPHA/ONE
enum class Tint { White, Constant, Gouraud };

// Two pixels in eight 16-bit lanes (first pixel low), and back.
inline __m128i Lanes(uint32_t p0, uint32_t p1) {
    return _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(uint64_t(p0) | uint64_t(p1) << 32)), _mm_setzero_si128());
}
inline uint64_t Unlanes(__m128i v) { return uint64_t(_mm_cvtsi128_si64(_mm_packus_epi16(v, v))); }
// Mul8 in each lane: (x + 127) / 255 equals ((x + 128) * 257) >> 16 for every
// x up to 255 * 255 (checked over all of them).
inline __m128i Div255Round(__m128i x) {
    return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}
inline __m128i AlphaLanes(__m128i v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
}

// Blend of two source pixels over two destination pixels, as Blend() does it:
// every formula is exact for alpha 0 and 255, so no pixel needs a branch.
template <BlendKind B>
inline uint64_t BlendPair(__m128i src, uint64_t dst) {
    if constexpr (B == BlendKind::Opaque) {
        (void)dst;
        return Unlanes(src);
    } else if constexpr (B == BlendKind::Add) {
        return uint64_t(_mm_cvtsi128_si64(_mm_adds_epu8(_mm_packus_epi16(src, src), _mm_cvtsi64_si128(int64_t(dst)))));
    } else if constexpr (B == BlendKind::AlphaAdd) {
        __m128i s = Div255Round(_mm_mullo_epi16(src, AlphaLanes(src)));
        return uint64_t(_mm_cvtsi128_si64(_mm_adds_epu8(_mm_packus_epi16(s, s), _mm_cvtsi64_si128(int64_t(dst)))));
    } else {
        __m128i a = AlphaLanes(src);
        __m128i d = _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(dst)), _mm_setzero_si128());
        __m128i sum = _mm_add_epi16(_mm_mullo_epi16(src, a), _mm_mullo_epi16(d, _mm_sub_epi16(_mm_set1_epi16(255), a)));
        return Unlanes(Div255Round(sum));
    }
}

// BilinearSample with both rows and both columns weighed in lanes.
inline uint32_t BilinearSampleFast(const Texture& t, int32_t u, int32_t v) {
    int32_t su = int32_t(uint32_t(u) - 0x8000u), sv = int32_t(uint32_t(v) - 0x8000u);
    int x0 = su >> 16, y0 = sv >> 16;
    int fx = (su >> 8) & 0xFF, fy = (sv >> 8) & 0xFF;
    int x1 = std::clamp(x0 + 1, 0, t.width - 1), y1 = std::clamp(y0 + 1, 0, t.height - 1);
    x0 = std::clamp(x0, 0, t.width - 1);
    y0 = std::clamp(y0, 0, t.height - 1);
    const uint32_t* r0 = t.texels + size_t(y0) * size_t(t.width);
    const uint32_t* r1 = t.texels + size_t(y1) * size_t(t.width);
    __m128i left = Lanes(r0[x0], r1[x0]), right = Lanes(r0[x1], r1[x1]);
    __m128i rows = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(left, _mm_set1_epi16(short(256 - fx))),
                                                _mm_mullo_epi16(right, _mm_set1_epi16(short(fx)))), 8);
    __m128i w = _mm_set_epi16(short(fy), short(fy), short(fy), short(fy), short(256 - fy), short(256 - fy),
                              short(256 - fy), short(256 - fy));
    __m128i p = _mm_mullo_epi16(rows, w);
    p = _mm_srli_epi16(_mm_add_epi16(p, _mm_srli_si128(p, 8)), 8);
    return uint32_t(Unlanes(p));
}

template <TargetLayout L>
inline uint64_t LoadPair(const uint8_t* row, int x, bool both) {
    if constexpr (L == TargetLayout::ARGB8888) {
        uint64_t v = 0;
        std::memcpy(&v, row + size_t(x) * 4, both ? 8 : 4);
        return v;
    } else {
        return uint64_t(LoadPixel<L>(row, x)) | (both ? uint64_t(LoadPixel<L>(row, x + 1)) << 32 : 0);
    }
}

template <TargetLayout L>
inline void StorePair(uint8_t* row, int x, uint64_t v, bool both) {
    if constexpr (L == TargetLayout::ARGB8888) {
        std::memcpy(row + size_t(x) * 4, &v, both ? 8 : 4);
    } else {
        StorePixel<L>(row, x, uint32_t(v));
        if (both) StorePixel<L>(row, x + 1, uint32_t(v >> 32));
    }
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// The nearest texel at (u, v), then u and v one pixel on: from one texture row
// without a clamp (inRow), clamped to it, or through PointSample when the span
// crosses rows.
inline uint32_t NextTexel(const Texture& tex, const uint32_t* fixedRow, bool inRow, uint32_t& u, uint32_t& v,
                          uint32_t du, uint32_t dv) {
    uint32_t p;
    if (inRow)
        p = fixedRow[int32_t(u) >> 16];
    else if (fixedRow)
        p = fixedRow[std::clamp(int32_t(u) >> 16, 0, tex.width - 1)];
    else
        p = PointSample(tex, int32_t(u), int32_t(v));
    u += du;
    v += dv;
    return p;
}

// The 565 surface's row that holds the texels of `row`.
inline const uint16_t* RowOf565(const Texture& tex, const uint32_t* row) {
    return tex.rgb565 + size_t(row - tex.texels) / size_t(tex.width) * tex.rgb565Pitch;
}

// One or two texels of a span under a flat tint onto the target, as the pair
// loop draws them. With a texel alpha of 0 the modulated alpha is 0 too, and
// the alpha blends leave the destination as it is (555 aside: a write clears
// its spare bit); opaque texels under an opaque tint replace it.
template <TargetLayout L, BlendKind B, Tint T, bool Both>
inline void FlatPair(uint8_t* row, int x, uint32_t t0, uint32_t t1, __m128i tint, bool opaqueTint) {
    constexpr bool k555 = L == TargetLayout::RGB555 || L == TargetLayout::BGR555;
    if constexpr (!k555 && (B == BlendKind::Alpha || B == BlendKind::AlphaAdd)) {
        if (((t0 | t1) >> 24) == 0) return;
    }
    const bool opaque = B == BlendKind::Alpha && opaqueTint && ((t0 & (Both ? t1 : t0)) >> 24) == 255;
    __m128i src = Lanes(t0, t1);
    if constexpr (T == Tint::Constant) src = Div255Round(_mm_mullo_epi16(src, tint));
    if (opaque) {
        StorePair<L>(row, x, Unlanes(src), Both);
        return;
    }
    const uint64_t dst = B == BlendKind::Opaque ? 0 : LoadPair<L>(row, x, Both);
    StorePair<L>(row, x, BlendPair<B>(src, dst), Both);
}

// ---- AVX2, behind the run-time check: four pixels of a nearest-texel span
// onto 8888 under a flat tint, the pair loop's lanes twice over ----

PEMBERLY_AVX2_BEGIN

// The lanes of a group of eight that lie within the `left` pixels still to
// draw: masked loads and stores touch none past them.
inline __m256i LiveLanes(int left) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(left), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Texels come from one texture row, clamped unless `inRow`, or through
// PointSample when the span crosses rows; u and v advance past what was drawn.
// Four 16-bit 565 pixels as 8-bit ARGB, widened as LoadPixel does, and back.
template <TargetLayout L>
inline __m128i Load4(const uint8_t* p) {
    if constexpr (L == TargetLayout::ARGB8888) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    } else {
        const __m128i v = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
        const __m128i hi5 = _mm_and_si128(_mm_srli_epi32(v, 11), _mm_set1_epi32(31));
        const __m128i mid6 = _mm_and_si128(_mm_srli_epi32(v, 5), _mm_set1_epi32(63));
        const __m128i lo5 = _mm_and_si128(v, _mm_set1_epi32(31));
        const __m128i hi = _mm_or_si128(_mm_slli_epi32(hi5, 3), _mm_srli_epi32(hi5, 2));
        const __m128i mid = _mm_or_si128(_mm_slli_epi32(mid6, 2), _mm_srli_epi32(mid6, 4));
        const __m128i lo = _mm_or_si128(_mm_slli_epi32(lo5, 3), _mm_srli_epi32(lo5, 2));
        const __m128i r = L == TargetLayout::RGB565 ? hi : lo, b = L == TargetLayout::RGB565 ? lo : hi;
        return _mm_or_si128(_mm_or_si128(_mm_set1_epi32(int(0xFF000000u)), _mm_slli_epi32(r, 16)),
                            _mm_or_si128(_mm_slli_epi32(mid, 8), b));
    }
}

template <TargetLayout L>
inline void Store4(uint8_t* p, __m128i argb) {
    if constexpr (L == TargetLayout::ARGB8888) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), argb);
    } else {
        const __m128i m = _mm_set1_epi32(0xFF);
        const __m128i r = _mm_and_si128(_mm_srli_epi32(argb, 16), m), g = _mm_and_si128(_mm_srli_epi32(argb, 8), m);
        const __m128i b = _mm_and_si128(argb, m);
        const __m128i hi = L == TargetLayout::RGB565 ? r : b, lo = L == TargetLayout::RGB565 ? b : r;
        const __m128i v = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_srli_epi32(hi, 3), 11),
                                                    _mm_slli_epi32(_mm_srli_epi32(g, 2), 5)),
                                       _mm_srli_epi32(lo, 3));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi32(v, v));
    }
}

template <TargetLayout L>
inline void Store8(uint8_t* p, __m256i argb) {
    if constexpr (L == TargetLayout::ARGB8888) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), argb);
    } else {
        Store4<L>(p, _mm256_castsi256_si128(argb));
        Store4<L>(p + 8, _mm256_extracti128_si256(argb, 1));
    }
}

// Inlined into the rows loop below, which sets up its constants once per
// rectangle; called on its own by the span loops.
template <TargetLayout L, BlendKind B, Tint T>
__attribute__((always_inline)) inline int QuadsAvx2Body(uint8_t* row, int x, int count, const Texture& tex,
                                                        const uint32_t* fixedRow, bool inRow, uint32_t& uRef,
                                                        uint32_t& vRef, uint32_t du, uint32_t dv, uint32_t flat,
                                                        bool opaqueTint) {
    // Locals: the stores below must not make the compiler reload them.
    uint32_t u = uRef, v = vRef;
    auto texel = [&]() { return NextTexel(tex, fixedRow, inRow, u, v, du, dv); };
    const __m256i tint = _mm256_cvtepu8_epi16(_mm_set1_epi32(int(flat)));
    const __m256i c128 = _mm256_set1_epi16(128), c257 = _mm256_set1_epi16(257), c255 = _mm256_set1_epi16(255);
    auto div255 = [&](__m256i v) { return _mm256_mulhi_epu16(_mm256_add_epi16(v, c128), c257); };
    auto pack = [](__m256i v) {
        return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08));
    };
    auto alphaOf = [&](__m256i s) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s, 0xFF), 0xFF); };
    // Source over destination by the source's alpha, 16-bit lanes.
    auto over = [&](__m256i s, __m256i d) {
        const __m256i a = alphaOf(s);
        return div255(_mm256_add_epi16(_mm256_mullo_epi16(s, a), _mm256_mullo_epi16(d, _mm256_sub_epi16(c255, a))));
    };
    auto quad = [&](uint8_t* out, uint32_t t0, uint32_t t1, uint32_t t2, uint32_t t3) __attribute__((always_inline)) {
        if constexpr (B == BlendKind::Alpha || B == BlendKind::AlphaAdd) {
            if (((t0 | t1 | t2 | t3) >> 24) == 0) return;
        }
        __m256i src = _mm256_cvtepu8_epi16(_mm_setr_epi32(int(t0), int(t1), int(t2), int(t3)));
        if constexpr (T == Tint::Constant) src = div255(_mm256_mullo_epi16(src, tint));
        if (B == BlendKind::Opaque || (B == BlendKind::Alpha && opaqueTint && ((t0 & t1 & t2 & t3) >> 24) == 255)) {
            Store4<L>(out, pack(src));
            return;
        }
        const __m128i d8 = Load4<L>(out);
        __m128i result;
        if constexpr (B == BlendKind::Add) {
            result = _mm_adds_epu8(pack(src), d8);
        } else if constexpr (B == BlendKind::AlphaAdd) {
            result = _mm_adds_epu8(pack(div255(_mm256_mullo_epi16(src, alphaOf(src)))), d8);
        } else {
            result = pack(over(src, _mm256_cvtepu8_epi16(d8)));
        }
        Store4<L>(out, result);
    };
    constexpr size_t kBytes = L == TargetLayout::ARGB8888 ? 4 : 2;
    // Eight texels blended over the destination, the quad's arithmetic on both
    // halves side by side. It is exact on opaque and clear texels too.
    auto over8 = [&](__m256i t, __m128i dLo, __m128i dHi) __attribute__((always_inline)) {
        __m256i lo = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(t));
        __m256i hi = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(t, 1));
        if constexpr (T == Tint::Constant) {
            lo = div255(_mm256_mullo_epi16(lo, tint));
            hi = div255(_mm256_mullo_epi16(hi, tint));
        }
        lo = over(lo, _mm256_cvtepu8_epi16(dLo));
        hi = over(hi, _mm256_cvtepu8_epi16(dHi));
        return _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
    };
    auto octet = [&](uint8_t* out, __m256i t) __attribute__((always_inline)) {
        Store8<L>(out, over8(t, Load4<L>(out), Load4<L>(out + 4 * kBytes)));
    };
    int n = 0;
    uint8_t* out = row + size_t(x) * kBytes;
    // Untinted texels that replace what is there: the row as it stands.
    if (T == Tint::White && inRow && du == 0x10000u &&
        (B == BlendKind::Opaque || (B == BlendKind::Alpha && opaqueTint && tex.opaque))) {
        const uint32_t* src = fixedRow + (int32_t(u) >> 16);
        if (L == TargetLayout::ARGB8888 && tex.rgb565) {
            // From the 565 surface, half the bytes to read, each field widened as the decoded texels have it.
            const uint16_t* from = RowOf565(tex, fixedRow) + (int32_t(u) >> 16);
            auto widen16 = [](const uint16_t* at, uint8_t* to) __attribute__((always_inline)) {
                Expand16<11, 5, 5, 6, 0, 5>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                                            reinterpret_cast<uint32_t*>(to));
            };
            for (; n + 15 < count; n += 16) {
                // These are mostly the first writes of the frame to lines
                // that the display has just read: owning them a few lines
                // ahead keeps more of those fetches in flight.
                Zephra::PrefetchForWrite(out + size_t(n) * kBytes + 256);
                widen16(from + n, out + size_t(n) * kBytes);
            }
            if (n < count && count >= 16) {
                // The last 1 to 15 as the row's last sixteen again: those
                // already written get the same values, and no other memory
                // (the decoded texels) is read for them.
                widen16(from + count - 16, out + size_t(count - 16) * kBytes);
            } else {
                // A row under sixteen from the decoded texels, eight lanes at
                // a time, none past the span.
                for (; n < count; n += 8) {
                    const __m256i live = LiveLanes(count - n);
                    _mm256_maskstore_epi32(reinterpret_cast<int*>(out + size_t(n) * kBytes), live,
                                           _mm256_maskload_epi32(reinterpret_cast<const int*>(src + n), live));
                }
            }
            n = count;
        } else if constexpr (L == TargetLayout::ARGB8888) {
            std::memcpy(out, src, size_t(count) * 4);
            n = count;
        } else if (L == TargetLayout::RGB565 && tex.rgb565) {
            std::memcpy(out, RowOf565(tex, fixedRow) + (int32_t(u) >> 16), size_t(count) * 2);
            n = count;
        } else {
            for (; n + 7 < count; n += 8, out += 8 * kBytes, src += 8)
                Store8<L>(out, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)));
        }
        uRef = u + du * uint32_t(n);
        vRef = v + dv * uint32_t(n);
        return n;
    }
    if (inRow && du == 0x10000u) {
        // One texel per pixel: texel k of the span is row[(u >> 16) + k]. Eight
        // at a time; runs that are all clear (under the alpha blends) leave the
        // destination, and opaque runs under white replace it as they stand.
        const uint32_t* src = fixedRow + (int32_t(u) >> 16);
        const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
        for (; n + 7 < count; n += 8, out += 8 * kBytes, src += 8) {
            const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
            const __m256i a = _mm256_and_si256(t, alphaMask);
            if constexpr (B == BlendKind::Alpha || B == BlendKind::AlphaAdd) {
                if (_mm256_testz_si256(a, a)) continue;
            }
            if constexpr (T == Tint::White) {
                if (B == BlendKind::Opaque ||
                    (B == BlendKind::Alpha && opaqueTint && _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, alphaMask)) == -1)) {
                    Store8<L>(out, t);
                    continue;
                }
            }
            if constexpr (B == BlendKind::Alpha) {
                octet(out, t);
            } else {
                quad(out, src[0], src[1], src[2], src[3]);
                quad(out + 4 * kBytes, src[4], src[5], src[6], src[7]);
            }
        }
        if constexpr (L == TargetLayout::ARGB8888 && B == BlendKind::Alpha) {
            // The last one to seven pixels as an octet whose lanes past the
            // span are neither read nor written.
            if (n < count) {
                const __m256i live = LiveLanes(count - n);
                const __m256i t = _mm256_maskload_epi32(reinterpret_cast<const int*>(src), live);
                if (!_mm256_testz_si256(t, alphaMask)) {
                    const __m256i d = _mm256_maskload_epi32(reinterpret_cast<const int*>(out), live);
                    _mm256_maskstore_epi32(reinterpret_cast<int*>(out), live,
                                           over8(t, _mm256_castsi256_si128(d), _mm256_extracti128_si256(d, 1)));
                }
                n = count;
            }
        } else if (n + 3 < count) {
            quad(out, src[0], src[1], src[2], src[3]);
            n += 4;
        }
        u += du * uint32_t(n);
        v += dv * uint32_t(n);
    } else if (inRow) {
        // Texel k of the quad lies at u + k * du, as the additions would give.
        for (; n + 3 < count; n += 4, out += 4 * kBytes, u += 4 * du)
            quad(out, fixedRow[int32_t(u) >> 16], fixedRow[int32_t(u + du) >> 16],
                 fixedRow[int32_t(u + 2 * du) >> 16], fixedRow[int32_t(u + 3 * du) >> 16]);
        v += dv * uint32_t(n);
    } else {
        for (; n + 3 < count; n += 4, out += 4 * kBytes) {
            const uint32_t t0 = texel(), t1 = texel(), t2 = texel(), t3 = texel();
            quad(out, t0, t1, t2, t3);
        }
    }
    uRef = u;
    vRef = v;
    return n;
}

template <TargetLayout L, BlendKind B, Tint T>
int QuadsAvx2(uint8_t* row, int x, int count, const Texture& tex, const uint32_t* fixedRow, bool inRow,
              uint32_t& u, uint32_t& v, uint32_t du, uint32_t dv, uint32_t flat, bool opaqueTint) {
    return QuadsAvx2Body<L, B, T>(row, x, count, tex, fixedRow, inRow, u, v, du, dv, flat, opaqueTint);
}

// A flat colour four pixels at a time: the quads above with every texel
// white, the source's share of the blend worked out once.
template <TargetLayout L, BlendKind B>
int FlatQuadsAvx2(uint8_t* row, int x, int count, uint32_t flat) {
    const __m256i c128 = _mm256_set1_epi16(128), c257 = _mm256_set1_epi16(257), c255 = _mm256_set1_epi16(255);
    auto div255 = [&](__m256i v) { return _mm256_mulhi_epu16(_mm256_add_epi16(v, c128), c257); };
    auto pack = [](__m256i v) {
        return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08));
    };
    const __m256i src = _mm256_cvtepu8_epi16(_mm_set1_epi32(int(flat)));
    const __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(src, 0xFF), 0xFF);
    const __m256i srcA = _mm256_mullo_epi16(src, a), inv = _mm256_sub_epi16(c255, a);
    const __m128i src8 = pack(src), srcA8 = pack(div255(srcA));
    const bool replace = B == BlendKind::Opaque || (B == BlendKind::Alpha && (flat >> 24) == 255);
    constexpr size_t kBytes = L == TargetLayout::ARGB8888 ? 4 : 2;
    int n = 0;
    uint8_t* out = row + size_t(x) * kBytes;
    if (replace) {
        const __m256i src8x2 = _mm256_broadcastsi128_si256(src8);
        for (; n + 7 < count; n += 8, out += 8 * kBytes) Store8<L>(out, src8x2);
    }
    for (; n + 3 < count; n += 4, out += 4 * kBytes) {
        if (replace) {
            Store4<L>(out, src8);
            continue;
        }
        const __m128i d8 = Load4<L>(out);
        __m128i result;
        if constexpr (B == BlendKind::Add)
            result = _mm_adds_epu8(src8, d8);
        else if constexpr (B == BlendKind::AlphaAdd)
            result = _mm_adds_epu8(srcA8, d8);
        else
            result = pack(div255(_mm256_add_epi16(srcA, _mm256_mullo_epi16(_mm256_cvtepu8_epi16(d8), inv))));
        Store4<L>(out, result);
    }
    return n;
}

// The rows of a nearest-texel rectangle under a flat tint whose start values
// but v are the same on every row (a picture's piece): what SpanFast draws
// row by row, its setup done once and each row's loop inlined.
template <TargetLayout L, BlendKind B, Tint T>
void RowsAvx2(const Span& first, const int32_t* step, const Texture& tex, const int32_t* vStarts, int rows,
              size_t pitch) {
    const uint32_t du = uint32_t(step[kU]), dv = uint32_t(step[kV]);
    const uint32_t flat = ColorAt(first.start[kA], first.start[kR], first.start[kG], first.start[kB]);
    const __m128i tint = Lanes(flat, flat);
    const bool opaqueTint = (flat >> 24) == 255;
    const int last = tex.width - 1, count = first.count;
    const int64_t u0 = int32_t(first.start[kU]), uEnd = u0 + int64_t(int32_t(du)) * (count - 1);
    const int64_t limit = int64_t(last + 1) << 16;
    const bool uInside = u0 >= 0 && u0 < limit && uEnd >= 0 && uEnd < limit;
    uint8_t* row = first.row;
    for (int i = 0; i < rows; ++i, row += pitch) {
        uint32_t u = uint32_t(first.start[kU]), v = uint32_t(vStarts[i]);
        const uint32_t* fixedRow =
            dv == 0 ? tex.texels + size_t(std::clamp(int32_t(v) >> 16, 0, tex.height - 1)) * size_t(tex.width) : nullptr;
        const bool inRow = fixedRow && uInside;
        int n = QuadsAvx2Body<L, B, T>(row, first.x, count, tex, fixedRow, inRow, u, v, du, dv, flat, opaqueTint);
        auto texel = [&]() { return NextTexel(tex, fixedRow, inRow, u, v, du, dv); };
        for (; n + 1 < count; n += 2) {
            const uint32_t t0 = texel(), t1 = texel();
            FlatPair<L, B, T, true>(row, first.x + n, t0, t1, tint, opaqueTint);
        }
        if (n < count) FlatPair<L, B, T, false>(row, first.x + n, texel(), 0, tint, opaqueTint);
    }
}

PEMBERLY_AVX2_END

template <TargetLayout L, BlendKind B, bool Textured, bool Linear, Tint T>
void SpanFast(const Span& sp, const int32_t* step, const Texture* tex, const RasterState&, TargetLayout) {
    uint32_t u = uint32_t(sp.start[kU]), v = uint32_t(sp.start[kV]);
    const uint32_t du = uint32_t(step[kU]), dv = uint32_t(step[kV]);
    uint32_t ca = uint32_t(sp.start[kA]), cr = uint32_t(sp.start[kR]), cg = uint32_t(sp.start[kG]),
             cb = uint32_t(sp.start[kB]);
    const uint32_t dca = uint32_t(step[kA]), dcr = uint32_t(step[kR]), dcg = uint32_t(step[kG]),
                   dcb = uint32_t(step[kB]);
    const uint32_t flat = ColorAt(int32_t(ca), int32_t(cr), int32_t(cg), int32_t(cb));
    const __m128i tint = Lanes(flat, flat);
    // A nearest-texel row that stays put: one clamp per span.
    const uint32_t* fixedRow = nullptr;
    if constexpr (Textured && !Linear) {
        if (dv == 0)
            fixedRow = tex->texels + size_t(std::clamp(int32_t(v) >> 16, 0, tex->height - 1)) * size_t(tex->width);
    }
    const int last = tex ? tex->width - 1 : 0;
    // The whole span inside the texture row: no clamping per texel.
    bool inRow = false;
    if (fixedRow) {
        const int64_t first = int32_t(u), end = first + int64_t(int32_t(du)) * (sp.count - 1);
        const int64_t limit = int64_t(last + 1) << 16;
        inRow = first >= 0 && first < limit && end >= 0 && end < limit;
    }
    auto texel = [&]() -> uint32_t {
        uint32_t p = 0xFFFFFFFF;
        if constexpr (Textured) {
            if constexpr (Linear) {
                p = BilinearSampleFast(*tex, int32_t(u), int32_t(v));
                u += du;
                v += dv;
            } else {
                p = NextTexel(*tex, fixedRow, inRow, u, v, du, dv);
            }
        }
        return p;
    };
    auto diffuse = [&]() -> uint32_t {
        uint32_t d = ColorAt(int32_t(ca), int32_t(cr), int32_t(cg), int32_t(cb));
        ca += dca;
        cr += dcr;
        cg += dcg;
        cb += dcb;
        return d;
    };
    // With a texel alpha of 0 the modulated alpha is 0 too, and these blends
    // leave the destination as it is (555 aside: a write clears its spare bit).
    constexpr bool k555 = L == TargetLayout::RGB555 || L == TargetLayout::BGR555;
    constexpr bool kSkipClear = Textured && !k555 && (B == BlendKind::Alpha || B == BlendKind::AlphaAdd);
    // Opaque texels under an opaque flat tint replace the destination.
    const bool opaqueTint = (T == Tint::White || T == Tint::Constant) && (flat >> 24) == 255;
    auto pair = [&](int x, auto bothTag) {
        constexpr bool both = decltype(bothTag)::value;
        if constexpr (Textured && T != Tint::Gouraud) {
            const uint32_t t0 = texel(), t1 = both ? texel() : 0;
            FlatPair<L, B, T, both>(sp.row, x, t0, t1, tint, opaqueTint);
            return;
        }
        __m128i src;
        if constexpr (!Textured && T == Tint::Constant) {
            src = tint;
        } else {
            uint32_t t0 = texel(), t1 = both ? texel() : 0;
            uint32_t d0 = 0, d1 = 0;
            if constexpr (T == Tint::Gouraud) {
                d0 = diffuse();
                d1 = both ? diffuse() : 0;
            }
            if constexpr (kSkipClear) {
                if (((t0 | t1) >> 24) == 0) return;
            }
            const bool opaque = B == BlendKind::Alpha && opaqueTint && ((t0 & (both ? t1 : t0)) >> 24) == 255;
            src = Lanes(t0, t1);
            if constexpr (T == Tint::Constant) {
                src = Div255Round(_mm_mullo_epi16(src, tint));
            } else if constexpr (T == Tint::Gouraud) {
                __m128i d = Lanes(d0, d1);
                src = Textured ? Div255Round(_mm_mullo_epi16(src, d)) : d;
            }
            if (opaque) {
                StorePair<L>(sp.row, x, Unlanes(src), both);
                return;
            }
        }
        uint64_t dst = B == BlendKind::Opaque ? 0 : LoadPair<L>(sp.row, x, both);
        StorePair<L>(sp.row, x, BlendPair<B>(src, dst), both);
    };
    int n = 0;
    constexpr bool kWideLayout =
        L == TargetLayout::ARGB8888 || L == TargetLayout::RGB565 || L == TargetLayout::BGR565;
    if constexpr (kWideLayout && Textured && !Linear && T != Tint::Gouraud) {
        if (sp.wide) n = QuadsAvx2<L, B, T>(sp.row, sp.x, sp.count, *tex, fixedRow, inRow, u, v, du, dv, flat, opaqueTint);
    }
    if constexpr (kWideLayout && !Textured && T == Tint::Constant) {
        if (sp.wide) n = FlatQuadsAvx2<L, B>(sp.row, sp.x, sp.count, flat);
    }
    for (; n + 1 < sp.count; n += 2) pair(sp.x + n, std::true_type{});
    if (n < sp.count) pair(sp.x + n, std::false_type{});
}

template <TargetLayout L, BlendKind B, bool Textured, bool Linear>
SpanFn PickTint(Tint t) {
    switch (t) {
    case Tint::White: return SpanFast<L, B, Textured, Linear, Tint::White>;
    case Tint::Constant: return SpanFast<L, B, Textured, Linear, Tint::Constant>;
    case Tint::Gouraud: return SpanFast<L, B, Textured, Linear, Tint::Gouraud>;
    }
    return nullptr;
}

template <TargetLayout L, BlendKind B>
SpanFn PickTexture(bool textured, bool linear, Tint t) {
    if (!textured) return t == Tint::Gouraud ? SpanFast<L, B, false, false, Tint::Gouraud>
                                             : SpanFast<L, B, false, false, Tint::Constant>;
    return linear ? PickTint<L, B, true, true>(t) : PickTint<L, B, true, false>(t);
}

template <TargetLayout L>
SpanFn PickBlend(BlendKind b, bool textured, bool linear, Tint t) {
    switch (b) {
    case BlendKind::Opaque: return PickTexture<L, BlendKind::Opaque>(textured, linear, t);
    case BlendKind::Alpha: return PickTexture<L, BlendKind::Alpha>(textured, linear, t);
    case BlendKind::Add: return PickTexture<L, BlendKind::Add>(textured, linear, t);
    case BlendKind::AlphaAdd: return PickTexture<L, BlendKind::AlphaAdd>(textured, linear, t);
    }
    return nullptr;
}

// The specialised loop for this state, or null when only the reference draws it.
// The diffuse alpha is folded into the setup's attributes for SelectTexture,
// so the loops only ever modulate.
bool FastBlend(const RasterState& s, BlendKind& b) {
    if (s.colorOp != StageOp::Modulate || s.specular) return false;
    if (s.alphaOp != StageOp::Modulate && s.alphaOp != StageOp::SelectTexture) return false;
    if (!s.blend)
        b = BlendKind::Opaque;
    else if (s.srcBlend == BlendFactor::SrcAlpha && s.destBlend == BlendFactor::InvSrcAlpha)
        b = BlendKind::Alpha;
    else if (s.srcBlend == BlendFactor::One && s.destBlend == BlendFactor::One)
        b = BlendKind::Add;
    else if (s.srcBlend == BlendFactor::SrcAlpha && s.destBlend == BlendFactor::One)
        b = BlendKind::AlphaAdd;
    else
        return false;
    return true;
}

SpanFn PickFast(const RasterState& s, TargetLayout layout, bool textured, Tint tint) {
    BlendKind b;
    if (!FastBlend(s, b)) return nullptr;
    switch (layout) {
    case TargetLayout::RGB565: return PickBlend<TargetLayout::RGB565>(b, textured, s.linear, tint);
    case TargetLayout::BGR565: return PickBlend<TargetLayout::BGR565>(b, textured, s.linear, tint);
    case TargetLayout::RGB555: return PickBlend<TargetLayout::RGB555>(b, textured, s.linear, tint);
    case TargetLayout::BGR555: return PickBlend<TargetLayout::BGR555>(b, textured, s.linear, tint);
    case TargetLayout::ARGB8888: return PickBlend<TargetLayout::ARGB8888>(b, textured, s.linear, tint);
    case TargetLayout::ABGR8888: return PickBlend<TargetLayout::ABGR8888>(b, textured, s.linear, tint);
    case TargetLayout::RGB888: return nullptr;
    }
    return nullptr;
}

using RowsFn = void (*)(const Span& first, const int32_t* step, const Texture& tex, const int32_t* vStarts, int rows,
                        size_t pitch);

template <TargetLayout L, BlendKind B>
RowsFn PickRowsTint(Tint t) {
    return t == Tint::White ? RowsAvx2<L, B, Tint::White> : RowsAvx2<L, B, Tint::Constant>;
}

template <TargetLayout L>
RowsFn PickRowsBlend(BlendKind b, Tint t) {
    switch (b) {
    case BlendKind::Opaque: return PickRowsTint<L, BlendKind::Opaque>(t);
    case BlendKind::Alpha: return PickRowsTint<L, BlendKind::Alpha>(t);
    case BlendKind::Add: return PickRowsTint<L, BlendKind::Add>(t);
    case BlendKind::AlphaAdd: return PickRowsTint<L, BlendKind::AlphaAdd>(t);
    }
    return nullptr;
}

// The whole-rectangle loop of a nearest-texel picture under a flat tint on
// the layouts the AVX2 loops draw, or null.
RowsFn PickRows(const RasterState& s, TargetLayout layout, Tint tint) {
    BlendKind b;
    if (s.linear || tint == Tint::Gouraud || !FastBlend(s, b)) return nullptr;
    switch (layout) {
    case TargetLayout::RGB565: return PickRowsBlend<TargetLayout::RGB565>(b, tint);
    case TargetLayout::BGR565: return PickRowsBlend<TargetLayout::BGR565>(b, tint);
    case TargetLayout::ARGB8888: return PickRowsBlend<TargetLayout::ARGB8888>(b, tint);
    default: return nullptr;
    }
}

bool Snap(float v, int64_t& out) {
    if (!std::isfinite(v)) return false;
    // Halves away from zero, as llround: the fraction left by the truncation is exact.
    const double s = std::clamp(double(v), -kCoordLimit, kCoordLimit) * 16.0;
    const int64_t t = int64_t(s);
    const double f = s - double(t);
    out = t + (f >= 0.5) - (f <= -0.5);
    return true;
}

void LoadAttrs(const Vertex& vx, const Texture* tex, double* a) {
    a[kU] = tex ? double(vx.u) * tex->width : 0.0;
    a[kV] = tex ? double(vx.v) * tex->height : 0.0;
    a[kA] = Chan(vx.diffuse, 24);
    a[kR] = Chan(vx.diffuse, 16);
    a[kG] = Chan(vx.diffuse, 8);
    a[kB] = vx.diffuse & 0xFF;
    a[kSR] = Chan(vx.specular, 16);
    a[kSG] = Chan(vx.specular, 8);
    a[kSB] = vx.specular & 0xFF;
}

// Attributes are clamped into a range whose fixed-point form cannot overflow.
inline double ClampAttr(double v) { return std::isfinite(v) ? std::clamp(v, -30000.0, 30000.0) : 0.0; }

// Colours round to the nearest level when their fraction is dropped.
__attribute__((always_inline)) inline int32_t AttrFixed(int k, double v) {
    return ToFixed(ClampAttr(v) + (k >= kA ? 0.5 : 0.0));
}

// AttrFixed(kV, base + step * (double(first + i) - origin)) for i < n, two
// at a time with the same operations. Clamped to +-30000, v * 65536 + 0.5 stays
// inside 32 bits, where a truncation corrected by one gives the floor.
void FixedRun(double base, double step, double origin, int64_t first, int n, int32_t* out) {
    const __m128d vBase = _mm_set1_pd(base), vStep = _mm_set1_pd(step), vOrigin = _mm_set1_pd(origin);
    const __m128d lo = _mm_set1_pd(-30000.0), hi = _mm_set1_pd(30000.0), zero = _mm_setzero_pd();
    const __m128d scale = _mm_set1_pd(65536.0), half = _mm_set1_pd(0.5);
    int i = 0;
    for (; i + 1 < n; i += 2) {
        const __m128d at = _mm_set_pd(double(first + i + 1), double(first + i));
        const __m128d x = _mm_add_pd(vBase, _mm_mul_pd(vStep, _mm_sub_pd(at, vOrigin)));
        // Not finite: x - x is not 0, and the value reads as 0.
        const __m128d finite = _mm_cmpeq_pd(_mm_sub_pd(x, x), zero);
        const __m128d clamped = _mm_and_pd(finite, _mm_min_pd(_mm_max_pd(x, lo), hi));
        const __m128d f = _mm_add_pd(_mm_mul_pd(clamped, scale), half);
        const __m128i t = _mm_cvttpd_epi32(f);
        const __m128i above = _mm_shuffle_epi32(_mm_castpd_si128(_mm_cmpgt_pd(_mm_cvtepi32_pd(t), f)), _MM_SHUFFLE(3, 3, 2, 0));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_add_epi32(t, above));
    }
    for (; i < n; ++i) out[i] = AttrFixed(kV, base + step * (double(first + i) - origin));
}

// The attribute planes of one triangle and the loop that draws its spans.
struct Planes {
    double x0 = 0, y0 = 0;
    double base[kAttrs], ddx[kAttrs], ddy[kAttrs];
    int32_t step[kAttrs];
    int varying[kAttrs];   // the attributes that change over the triangle
    int nVarying = 0;
    int32_t constant[kAttrs] = {};
    SpanFn fn = nullptr;
    RowsFn rows = nullptr;   // draws whole rectangles when only v changes down the rows
    bool wide = false;
    bool forceOpaqueDiffuse = false;

    // The span of `row` from pixel lo to hi, both drawn.
    void Draw(const Target& target, const RasterState& state, const Texture* texture, int64_t row, int64_t lo,
              int64_t hi) const {
        Span sp = Start(target, row, lo, hi);
        for (int i = 0; i < nVarying; ++i) {
            const int k = varying[i];
            sp.start[k] = AttrFixed(k, base[k] + ddx[k] * (double(lo) - x0) + ddy[k] * (double(row) - y0));
        }
        Finish(sp, target, state, texture);
    }

    // Rows first to last, each from pixel lo to hi: the values Draw would give,
    // with each attribute's share of x summed once and those that do not
    // change down the rows fixed once.
    void DrawRows(const Target& target, const RasterState& state, const Texture* texture, int64_t first,
                  int64_t last, int64_t lo, int64_t hi) const {
        Span sp = Start(target, first, lo, hi);
        double across[kAttrs];
        int down[kAttrs], nDown = 0;
        for (int i = 0; i < nVarying; ++i) {
            const int k = varying[i];
            across[k] = base[k] + ddx[k] * (double(lo) - x0);
            if (ddy[k] != 0)
                down[nDown++] = k;
            else
                sp.start[k] = AttrFixed(k, across[k]);
        }
        if (rows && texture && (nDown == 0 || (nDown == 1 && down[0] == kV))) {
            // Whole rectangles: the same values, v worked out for a batch of rows at a time.
            if (forceOpaqueDiffuse) sp.start[kA] = 255 << 16;
            int32_t v[128];
            for (int64_t row = first; row <= last;) {
                const int n = int(std::min<int64_t>(128, last - row + 1));
                if (nDown)
                    FixedRun(across[kV], ddy[kV], y0, row, n, v);
                else
                    std::fill(v, v + n, sp.start[kV]);
                sp.row = static_cast<uint8_t*>(target.bits) + size_t(row) * size_t(target.pitch);
                rows(sp, step, *texture, v, n, size_t(target.pitch));
                row += n;
            }
            return;
        }
        for (int64_t row = first; row <= last; ++row) {
            sp.row = static_cast<uint8_t*>(target.bits) + size_t(row) * size_t(target.pitch);
            for (int i = 0; i < nDown; ++i) {
                const int k = down[i];
                sp.start[k] = AttrFixed(k, across[k] + ddy[k] * (double(row) - y0));
            }
            Finish(sp, target, state, texture);
        }
    }

private:
    Span Start(const Target& target, int64_t row, int64_t lo, int64_t hi) const {
        Span sp;
        sp.row = static_cast<uint8_t*>(target.bits) + size_t(row) * size_t(target.pitch);
        sp.x = int(lo);
        sp.count = int(hi - lo + 1);
        std::copy(constant, constant + kAttrs, sp.start);
        sp.wide = wide;
        return sp;
    }
    void Finish(Span& sp, const Target& target, const RasterState& state, const Texture* texture) const {
        if (forceOpaqueDiffuse) sp.start[kA] = 255 << 16;
        fn(sp, step, texture, state, target.layout);
    }
};

// Planes over the snapped positions X, Y (1/16 pixel) of the vertices v.
// attr holds the vertices' attributes (LoadAttrs).
void SetupPlanes(const Target& target, const RasterState& state, const Texture* texture, const Vertex* const v[3],
                 const double (*attr)[kAttrs], const int64_t X[3], const int64_t Y[3], Path path, Planes& p) {
    const bool selectTexAlpha = state.alphaOp == StageOp::SelectTexture;
    p.x0 = X[0] / 16.0;
    p.y0 = Y[0] / 16.0;
    const double ex1 = (X[1] - X[0]) / 16.0, ey1 = (Y[1] - Y[0]) / 16.0;
    const double ex2 = (X[2] - X[0]) / 16.0, ey2 = (Y[2] - Y[0]) / 16.0;
    const double det = ex1 * ey2 - ex2 * ey1;
    for (int k = 0; k < kAttrs; ++k) {
        double d1 = attr[1][k] - attr[0][k], d2 = attr[2][k] - attr[0][k];
        p.base[k] = attr[0][k];
        if (d1 == 0 && d2 == 0) {   // the divisions below would give zeros (of either sign)
            p.ddx[k] = p.ddy[k] = 0;
            p.step[k] = 0;
            continue;
        }
        p.ddx[k] = ClampAttr((d1 * ey2 - d2 * ey1) / det);
        p.ddy[k] = ClampAttr((d2 * ex1 - d1 * ex2) / det);
        p.step[k] = ToFixed(p.ddx[k]);
    }
    // Attributes constant over the triangle start the same on every row.
    p.nVarying = 0;
    for (int k = 0; k < kAttrs; ++k) {
        if (p.ddx[k] != 0 || p.ddy[k] != 0)
            p.varying[p.nVarying++] = k;
        else
            p.constant[k] = AttrFixed(k, p.base[k]);
    }

    // Tint class and loop choice.
    const bool flat = v[0]->diffuse == v[1]->diffuse && v[1]->diffuse == v[2]->diffuse;
    Tint tint = !flat ? Tint::Gouraud : v[0]->diffuse == 0xFFFFFFFF ? Tint::White : Tint::Constant;
    if (selectTexAlpha && tint == Tint::Constant && (v[0]->diffuse | 0xFF000000u) == 0xFFFFFFFF)
        tint = Tint::White;
    if (tint == Tint::White && !texture) tint = Tint::Constant;
    p.fn = path != Path::Reference ? PickFast(state, target.layout, texture != nullptr, tint) : nullptr;
    if (!p.fn) p.fn = SpanReference;
    p.wide = path == Path::Fast && HasAvx2();
    p.rows = p.wide && texture && p.fn != SpanReference ? PickRows(state, target.layout, tint) : nullptr;
    // The specialised loops only modulate: texture alpha alone is a diffuse alpha of 255.
    p.forceOpaqueDiffuse = selectTexAlpha && p.fn != SpanReference;
    if (p.forceOpaqueDiffuse) p.step[kA] = 0;
}

// The drawing rectangle: the clip cut to the target; false when empty.
bool ClipBox(const Target& target, const RasterState& state, int& x0, int& y0, int& x1, int& y1) {
    if (!target.bits || target.width <= 0 || target.height <= 0) return false;
    x0 = std::max(state.clipX0, 0);
    y0 = std::max(state.clipY0, 0);
    x1 = std::min(state.clipX1, target.width);
    y1 = std::min(state.clipY1, target.height);
    return x0 < x1 && y0 < y1;
}

const Texture* UsableTexture(const Texture* texture) {
    return texture && texture->texels && texture->width > 0 && texture->height > 0 ? texture : nullptr;
}

} // namespace

bool AllOpaque(const uint32_t* texels, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if ((texels[i] >> 24) != 0xFF) return false;
    return true;
}

void DrawTriangle(const Target& target, const RasterState& state, const Texture* texture, const Vertex& a,
                  const Vertex& b, const Vertex& c, Path path) {
    int clipX0, clipY0, clipX1, clipY1;
    if (!ClipBox(target, state, clipX0, clipY0, clipX1, clipY1)) return;
    texture = UsableTexture(texture);
    const Vertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i)
        if (!Snap(v[i]->x, X[i]) || !Snap(v[i]->y, Y[i])) return;
    int64_t area2 = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area2 == 0) return;
    if (area2 < 0) {   // one winding for the edge rules
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        std::swap(v[1], v[2]);
    }
    int64_t yMin = std::min({Y[0], Y[1], Y[2]}), yMax = std::max({Y[0], Y[1], Y[2]});
    int64_t rowFirst = std::max<int64_t>(CeilDiv(yMin, 16), clipY0);
    int64_t rowLast = std::min<int64_t>(CeilDiv(yMax, 16) - 1, clipY1 - 1);
    if (rowFirst > rowLast) return;

    double attr[3][kAttrs];
    for (int i = 0; i < 3; ++i) LoadAttrs(*v[i], texture, attr[i]);
    Planes planes;
    SetupPlanes(target, state, texture, v, attr, X, Y, path, planes);

    // Edges i -> j; a top or left edge also owns the centres lying on it.
    EdgeWalk walk[3];
    for (int i = 0; i < 3; ++i) {
        int j = (i + 1) % 3;
        int64_t dx = X[j] - X[i], dy = Y[j] - Y[i];
        bool topLeft = (dy == 0 && dx > 0) || dy < 0;
        // The edge value at a row is dy * X[i] - dx * Y[i] + dx * 16 * row, less dy * 16 per pixel.
        walk[i].Start(-dy * 16, dy * X[i] - dx * Y[i] + dx * rowFirst * 16, dx * 16, topLeft ? 0 : 1);
    }
    for (int64_t row = rowFirst; row <= rowLast; ++row) {
        int64_t lo = clipX0, hi = clipX1 - 1;
        for (EdgeWalk& e : walk) {
            e.Bound(lo, hi);
            e.Next();
        }
        if (lo <= hi) planes.Draw(target, state, texture, row, lo, hi);
    }
}

bool DrawRectangle(const Target& target, const RasterState& state, const Texture* texture, const Vertex& a,
                   const Vertex& b, const Vertex& c, const Vertex& d, Path path) {
    int clipX0, clipY0, clipX1, clipY1;
    texture = UsableTexture(texture);
    const Vertex* v[4] = {&a, &b, &c, &d};
    int64_t X[4], Y[4];
    for (int i = 0; i < 4; ++i)
        if (!Snap(v[i]->x, X[i]) || !Snap(v[i]->y, Y[i])) return false;
    // Sides alternately vertical and horizontal, starting with either.
    const bool verticalFirst = X[0] == X[1] && Y[1] == Y[2] && X[2] == X[3] && Y[3] == Y[0];
    const bool horizontalFirst = Y[0] == Y[1] && X[1] == X[2] && Y[2] == Y[3] && X[3] == X[0];
    if (!verticalFirst && !horizontalFirst) return false;
    // Planar attributes: opposite corners sum the same.
    double attr[4][kAttrs];
    for (int i = 0; i < 4; ++i) LoadAttrs(*v[i], texture, attr[i]);
    for (int k = 0; k < kAttrs; ++k)
        if (attr[0][k] + attr[2][k] != attr[1][k] + attr[3][k]) return false;
    const int64_t xMin = std::min(X[0], X[2]), xMax = std::max(X[0], X[2]);
    const int64_t yMin = std::min(Y[0], Y[2]), yMax = std::max(Y[0], Y[2]);
    if (!ClipBox(target, state, clipX0, clipY0, clipX1, clipY1) || xMin == xMax || yMin == yMax) return true;
    // Centres on the left and top sides are inside, those on the right and bottom not.
    const int64_t rowFirst = std::max<int64_t>(CeilDiv(yMin, 16), clipY0);
    const int64_t rowLast = std::min<int64_t>(CeilDiv(yMax, 16) - 1, clipY1 - 1);
    const int64_t lo = std::max<int64_t>(CeilDiv(xMin, 16), clipX0);
    const int64_t hi = std::min<int64_t>(CeilDiv(xMax, 16) - 1, clipX1 - 1);
    if (rowFirst > rowLast || lo > hi) return true;

    // The planes of the triangle a, b, c.
    Planes planes;
    SetupPlanes(target, state, texture, v, attr, X, Y, path, planes);
    planes.DrawRows(target, state, texture, rowFirst, rowLast, lo, hi);
    return true;
}

void DrawLine(const Target& target, const RasterState& state, const Texture* texture, const Vertex& a,
              const Vertex& b) {
    int clipX0, clipY0, clipX1, clipY1;
    if (!ClipBox(target, state, clipX0, clipY0, clipX1, clipY1)) return;
    texture = UsableTexture(texture);
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
    double ax = std::clamp(double(a.x), -kCoordLimit, kCoordLimit), ay = std::clamp(double(a.y), -kCoordLimit, kCoordLimit);
    double bx = std::clamp(double(b.x), -kCoordLimit, kCoordLimit), by = std::clamp(double(b.y), -kCoordLimit, kCoordLimit);
    double dx = bx - ax, dy = by - ay;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    double len = xMajor ? dx : dy;
    if (len == 0) return;
    double start = xMajor ? ax : ay;
    // Pixels whose centre lies in [start, end) along the major axis.
    int64_t first = int64_t(std::floor(start + 0.5)), last = int64_t(std::floor(start + len + 0.5));
    int64_t dir = len > 0 ? 1 : -1;
    double aa[kAttrs], ba[kAttrs];
    LoadAttrs(a, texture, aa);
    LoadAttrs(b, texture, ba);
    uint8_t* bits = static_cast<uint8_t*>(target.bits);
    for (int64_t m = first; m != last; m += dir) {
        double t = (double(m) - start) / len;
        double minor = xMajor ? ay + t * dy : ax + t * dx;
        int64_t n = int64_t(std::floor(minor + 0.5));
        int64_t px = xMajor ? m : n, py = xMajor ? n : m;
        if (px < clipX0 || px >= clipX1 || py < clipY0 || py >= clipY1) continue;
        int32_t val[kAttrs];
        for (int k = 0; k < kAttrs; ++k)
            val[k] = AttrFixed(k, aa[k] + t * (ba[k] - aa[k]));
        Span sp{bits + size_t(py) * size_t(target.pitch), int(px), 1, {}};
        std::copy(val, val + kAttrs, sp.start);
        int32_t zero[kAttrs] = {};
        SpanReference(sp, zero, texture, state, target.layout);
    }
}

void FillRect(const Target& target, int x0, int y0, int x1, int y1, uint32_t argb) {
    if (!target.bits) return;
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, target.width);
    y1 = std::min(y1, target.height);
    uint8_t* bits = static_cast<uint8_t*>(target.bits);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) StorePixelAny(target.layout, bits + size_t(y) * size_t(target.pitch), x, argb);
}

} // namespace platform::d3d
