// Rectangle fills, coverage spans and lines on locked surface memory.
#include <algorithm>
#include <cmath>
#include "framework/display/surface_kernels.h"
#include "framework/display/surface_pixel_rules.h"
#include "framework/display/surface_simd.h"

namespace Zephra::surface {

namespace {

struct Rgba {
    uint32_t c[3];
    uint32_t a;
    explicit Rgba(const Color& k) : c{Clamp8(k.mRed), Clamp8(k.mGreen), Clamp8(k.mBlue)}, a(Clamp8(k.mAlpha)) {}
};

bool ClipToView(const SurfaceView& view, const PixelFormat& f, const Rect& rect, Rect& out) {
    if (view.bits == nullptr || !f.Drawable()) return false;
    out = rect.Intersection(Rect(0, 0, view.width, view.height));
    return !out.IsEmpty();
}

// Calls row(d, n) for each row of an already clipped rectangle.
template <typename T, typename Row>
void Rows(const SurfaceView& view, const Rect& r, Row row) {
    for (int y = r.mY; y < r.mY + r.mHeight; ++y) row(view.Row<T>(y) + r.mX, r.mWidth);
}

// The blended fill: source part s plus each destination channel weighted by
// inv; 16-bit surfaces add the mask before the shift.
uint32_t FillBlend(uint32_t d, uint32_t s, uint32_t inv, const PixelFormat& f) {
    const bool round = f.bitCount == 16;
    uint32_t r = s;
    for (int c = 0; c < 3; ++c) r += ((((d & f.mask[c]) * inv) + (round ? f.mask[c] : 0)) >> 8) & f.mask[c];
    return r;
}

template <typename T>
void FillNormalScalar(const SurfaceView& view, const PixelFormat& f, const Rect& r, uint32_t s, uint32_t a) {
    Rows<T>(view, r, [&](T* d, int n) {
        if (a == 255)
            std::fill_n(d, n, T(s));
        else
            for (int i = 0; i < n; ++i) d[i] = T(FillBlend(d[i], s, 256 - a, f));
    });
}

template <typename T>
void FillAddScalar(const SurfaceView& view, const PixelFormat& f, const Rect& r, const uint32_t* add) {
    Rows<T>(view, r, [&](T* d, int n) {
        for (int i = 0; i < n; ++i) {
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c)
                v |= uint32_t(f.add[c][((d[i] & f.mask[c]) >> f.shift[c]) + add[c]]) << f.shift[c];
            d[i] = T(v);
        }
    });
}

void FillNormalFast32(const SurfaceView& view, const PixelFormat& f, const Rect& r, uint32_t s, uint32_t a) {
    using namespace simd;
    const __m128i zero = _mm_setzero_si128(), rgb = _mm_set1_epi32(0x00FFFFFF);
    const __m128i inv = _mm_set1_epi16(short(256 - a)), sv = _mm_set1_epi32(int(s));
    Rows<uint32_t>(view, r, [&](uint32_t* d, int n) {
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            __m128i dv = _mm_and_si128(Load(d + i), rgb);
            __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), inv), 8);
            __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), inv), 8);
            Store(d + i, _mm_add_epi32(_mm_packus_epi16(lo, hi), sv));
        }
        for (; i < n; ++i) d[i] = FillBlend(d[i], s, 256 - a, f);
    });
}

void FillNormalFast16(const SurfaceView& view, const PixelFormat& f, const Rect& r, uint32_t s, uint32_t a) {
    using namespace simd;
    const Fields16 fl(f);
    const __m128i inv = _mm_set1_epi16(short(256 - a)), sv = _mm_set1_epi16(short(s));
    Rows<uint16_t>(view, r, [&](uint16_t* d, int n) {
        int i = 0;
        for (; i + 8 <= n; i += 8) {
            __m128i dv = Load(d + i), out = sv;
            for (int c = 0; c < 3; ++c) {
                __m128i x = _mm_add_epi16(_mm_mullo_epi16(fl.Get(dv, c), inv), fl.max[c]);
                out = _mm_add_epi16(out, fl.Put(_mm_and_si128(_mm_srli_epi16(x, 8), fl.max[c]), c));
            }
            Store(d + i, out);
        }
        for (; i < n; ++i) d[i] = uint16_t(FillBlend(d[i], s, 256 - a, f));
    });
}

void FillAddFast32(const SurfaceView& view, const PixelFormat& f, const Rect& r, const uint32_t* add) {
    using namespace simd;
    uint32_t packed = 0;
    for (int c = 0; c < 3; ++c) packed |= add[c] << f.shift[c];
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF), av = _mm_set1_epi32(int(packed));
    Rows<uint32_t>(view, r, [&](uint32_t* d, int n) {
        int i = 0;
        for (; i + 4 <= n; i += 4) Store(d + i, _mm_adds_epu8(_mm_and_si128(Load(d + i), rgb), av));
        for (; i < n; ++i) {
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c)
                v |= uint32_t(f.add[c][((d[i] & f.mask[c]) >> f.shift[c]) + add[c]]) << f.shift[c];
            d[i] = v;
        }
    });
}

void FillAddFast16(const SurfaceView& view, const PixelFormat& f, const Rect& r, const uint32_t* add) {
    using namespace simd;
    const Fields16 fl(f);
    __m128i av[3];
    for (int c = 0; c < 3; ++c) av[c] = _mm_set1_epi16(short(add[c]));
    Rows<uint16_t>(view, r, [&](uint16_t* d, int n) {
        int i = 0;
        for (; i + 8 <= n; i += 8) {
            __m128i dv = Load(d + i), out = _mm_setzero_si128();
            for (int c = 0; c < 3; ++c)
                out = _mm_or_si128(out, fl.Put(_mm_min_epi16(_mm_add_epi16(fl.Get(dv, c), av[c]), fl.max[c]), c));
            Store(d + i, out);
        }
        for (; i < n; ++i) {
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c)
                v |= uint32_t(f.add[c][((d[i] & f.mask[c]) >> f.shift[c]) + add[c]]) << f.shift[c];
            d[i] = uint16_t(v);
        }
    });
}

// Coverage weights ((c + 1) x A) >> 8 for eight coverage bytes.
inline __m128i CoverageWeights(const uint8_t* cov, __m128i alpha) {
    const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cov)), _mm_setzero_si128());
    return _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(c, _mm_set1_epi16(1)), alpha), 8);
}

// Blends whole groups of pixels and returns how many it did; the caller
// finishes the row with the plain rule.
int CoverageFast32(uint32_t* d, const uint8_t* cov, int n, uint32_t s, uint32_t a) {
    using namespace simd;
    const __m128i zero = _mm_setzero_si128(), rgb = _mm_set1_epi32(0x00FFFFFF), k256 = _mm_set1_epi16(256);
    const __m128i sv = _mm_unpacklo_epi8(_mm_set1_epi32(int(s)), zero), av = _mm_set1_epi16(short(a));
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m128i w = CoverageWeights(cov + j, av);
        for (int h = 0; h < 2; ++h) {
            const __m128i w4 = h == 0 ? _mm_unpacklo_epi16(w, zero) : _mm_unpackhi_epi16(w, zero);
            __m128i wlo, whi;
            Broadcast4(w4, wlo, whi);
            const __m128i dv = _mm_and_si128(Load(d + j + 4 * h), rgb);
            auto mix = [&](__m128i dd, __m128i ww) {
                return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dd, _mm_sub_epi16(k256, ww)), _mm_mullo_epi16(sv, ww)), 8);
            };
            const __m128i lo = mix(_mm_unpacklo_epi8(dv, zero), wlo), hi = mix(_mm_unpackhi_epi8(dv, zero), whi);
            Store(d + j + 4 * h, _mm_and_si128(_mm_packus_epi16(lo, hi), rgb));
        }
    }
    return j;
}

int CoverageFast16(uint16_t* d, const uint8_t* cov, int n, const PixelFormat& f, uint32_t s, uint32_t a) {
    using namespace simd;
    const Fields16 fl(f);
    const __m128i k256 = _mm_set1_epi16(256), av = _mm_set1_epi16(short(a)), sv = _mm_set1_epi16(short(s));
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m128i w = CoverageWeights(cov + j, av), inv = _mm_sub_epi16(k256, w), dv = Load(d + j);
        __m128i out = _mm_setzero_si128();
        for (int c = 0; c < 3; ++c) {
            const __m128i x = _mm_add_epi16(_mm_mullo_epi16(fl.Get(dv, c), inv), _mm_mullo_epi16(fl.Get(sv, c), w));
            out = _mm_or_si128(out, fl.Put(_mm_and_si128(_mm_srli_epi16(x, 8), fl.max[c]), c));
        }
        Store(d + j, out);
    }
    return j;
}

// ---- lines ----

// Writes one line pixel in normal or additive mode; pixels off the view are dropped.
struct Plotter {
    const SurfaceView& view;
    const PixelFormat& f;
    bool additive;
    uint32_t opaque = 0, src = 0, inv = 0;
    uint32_t add[3] = {};
    bool solid = false;

    Plotter(const SurfaceView& v, const PixelFormat& fmt, const Color& color, bool add_) : view(v), f(fmt), additive(add_) {
        const Rgba k(color);
        solid = k.a == 255;
        inv = 256 - k.a;
        for (int c = 0; c < 3; ++c) {
            const uint32_t m = f.mask[c];
            opaque += ((k.c[c] * m + (m >> 1)) >> 8) & m;
            src += (((((k.c[c] * k.a + 128) >> 8) * m) + (m >> 1)) >> 8) & m;
            add[c] = Div255(k.c[c] * k.a) >> (8 - f.bits[c]);
        }
    }
    uint32_t Blend(uint32_t d) const {
        if (additive) {
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c)
                v |= uint32_t(f.add[c][((d & f.mask[c]) >> f.shift[c]) + add[c]]) << f.shift[c];
            return v;
        }
        if (solid) return opaque;
        uint32_t r = src;
        for (int c = 0; c < 3; ++c) r += ((((d & f.mask[c]) * inv) + (f.mask[c] >> 1)) >> 8) & f.mask[c];
        return r;
    }
    void operator()(int64_t x, int64_t y) const {
        if (x < 0 || y < 0 || x >= view.width || y >= view.height) return;
        if (f.bitCount == 16) {
            uint16_t& d = view.Row<uint16_t>(int(y))[x];
            d = uint16_t(Blend(d));
        } else {
            uint32_t& d = view.Row<uint32_t>(int(y))[x];
            d = Blend(d);
        }
    }
};

bool Finite(double a, double b, double c, double d) {
    // Far beyond any surface the stepping would only waste time.
    constexpr double kFar = 1 << 24;
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::fabs(a) < kFar &&
           std::fabs(b) < kFar && std::fabs(c) < kFar && std::fabs(d) < kFar;
}

} // namespace

void FillRectNormal(const SurfaceView& view, const PixelFormat& f, const Rect& rect, const Color& color, Kernels k) {
    Rect r;
    if (!ClipToView(view, f, rect, r)) return;
    const Rgba c(color);
    uint32_t s = 0;
    if (c.a == 255) {
        for (int i = 0; i < 3; ++i) s |= Scale(c.c[i] + 1, f.mask[i]);
    } else {
        const uint32_t round = f.bitCount == 16 ? 128 : 127;
        for (int i = 0; i < 3; ++i) s += Scale(((c.c[i] * c.a + round) >> 8) + 1, f.mask[i]);
    }
    const bool fast = k != Kernels::Scalar && c.a != 255;
    if (f.bitCount == 32) {
        if (fast && f.ByteChannels())
            FillNormalFast32(view, f, r, s, c.a);
        else
            FillNormalScalar<uint32_t>(view, f, r, s, c.a);
    } else {
        if (fast)
            FillNormalFast16(view, f, r, s, c.a);
        else
            FillNormalScalar<uint16_t>(view, f, r, s, c.a);
    }
}

void FillRectAdditive(const SurfaceView& view, const PixelFormat& f, const Rect& rect, const Color& color,
                      Kernels k) {
    Rect r;
    if (!ClipToView(view, f, rect, r)) return;
    const Rgba c(color);
    uint32_t add[3];
    for (int i = 0; i < 3; ++i) add[i] = Div255(c.c[i] * c.a) >> (8 - f.bits[i]);
    const bool fast = k != Kernels::Scalar;
    if (f.bitCount == 32) {
        if (fast && f.ByteChannels())
            FillAddFast32(view, f, r, add);
        else
            FillAddScalar<uint32_t>(view, f, r, add);
    } else {
        if (fast)
            FillAddFast16(view, f, r, add);
        else
            FillAddScalar<uint16_t>(view, f, r, add);
    }
}

void FillSpansCoverage(const SurfaceView& view, const PixelFormat& f, const Span* spans, int count,
                       const Color& color, const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                       int coverHeight, Kernels k) {
    if (view.bits == nullptr || !f.Drawable() || spans == nullptr || coverage == nullptr || count <= 0 ||
        coverWidth <= 0 || coverHeight <= 0)
        return;
    const Rgba c(color);
    uint32_t s = 0;
    for (int i = 0; i < 3; ++i) s |= Scale(c.c[i], f.mask[i]);
    auto blend = [&](uint32_t d, uint32_t w) {
        uint32_t v = 0;
        for (int i = 0; i < 3; ++i)
            v |= ((((d & f.mask[i]) * (256 - w)) + (s & f.mask[i]) * w) >> 8) & f.mask[i];
        return v;
    };
    const bool fast32 = k != Kernels::Scalar && f.ByteChannels(), fast16 = k != Kernels::Scalar && f.bitCount == 16;
    for (int i = 0; i < count; ++i) {
        const Span& sp = spans[i];
        const int64_t cy = int64_t(sp.mY) - coverY;
        if (sp.mY < 0 || sp.mY >= view.height || sp.mWidth <= 0 || cy < 0 || cy >= coverHeight) continue;
        // Pixels off the surface or off the coverage array are passed over.
        const int64_t x1 = std::max<int64_t>({int64_t(sp.mX), 0, int64_t(coverX)});
        const int64_t x2 = std::min<int64_t>({int64_t(sp.mX) + sp.mWidth, int64_t(view.width),
                                              int64_t(coverX) + coverWidth});
        if (x1 >= x2) continue;
        const uint8_t* cov = coverage + size_t(cy) * size_t(coverWidth) + size_t(x1 - coverX);
        const int n = int(x2 - x1);
        int j = 0;
        if (fast32)
            j = CoverageFast32(view.Row<uint32_t>(sp.mY) + x1, cov, n, s, c.a);
        else if (fast16)
            j = CoverageFast16(view.Row<uint16_t>(sp.mY) + x1, cov, n, f, s, c.a);
        for (; j < n; ++j) {
            const uint32_t w = ((uint32_t(cov[j]) + 1) * c.a) >> 8;
            if (f.bitCount == 16) {
                uint16_t& d = view.Row<uint16_t>(sp.mY)[x1 + j];
                d = uint16_t(blend(d, w));
            } else {
                uint32_t& d = view.Row<uint32_t>(sp.mY)[x1 + j];
                d = blend(d, w);
            }
        }
    }
}

void DrawLine(const SurfaceView& view, const PixelFormat& f, double x1, double y1, double x2, double y2,
              const Color& color, bool additive) {
    if (view.bits == nullptr || !f.Drawable() || !Finite(x1, y1, x2, y2)) return;
    const Plotter plot(view, f, color, additive);
    const bool yMajor = std::fabs(x2 - x1) <= std::fabs(y2 - y1);
    // Major and minor coordinates of both ends, the major delta made non-negative.
    double a0 = yMajor ? y1 : x1, b0 = yMajor ? x1 : y1, a1 = yMajor ? y2 : x2, b1 = yMajor ? x2 : y2;
    if (a1 < a0) {
        std::swap(a0, a1);
        std::swap(b0, b1);
    }
    const double minB = std::min(b0, b1), maxB = std::max(b0, b1);
    const int step = b1 - b0 < 0 ? -1 : 1;
    auto put = [&](int64_t a, int64_t b) { yMajor ? plot(b, a) : plot(a, b); };
    int64_t b = int64_t(b0);
    put(int64_t(a0), b);
    const double dmaj = a1 - a0, dmin = std::fabs(b1 - b0);
    const int64_t incNo = int64_t(2 * dmin);
    const int64_t incStep = int64_t(2 * (dmin - dmaj));
    int64_t err = int64_t((b0 - std::trunc(b0)) * double(incNo) + double(int64_t(2 * dmin - dmaj)));
    for (int64_t a = int64_t(a0 + 1); double(a) <= a1; ++a) {
        if (err > 0) {
            b += step;
            err += incStep;
            if (double(b) < minB || double(b) > maxB) return;
        } else {
            err += incNo;
        }
        put(a, b);
    }
}

void DrawLineAA(const SurfaceView& view, const PixelFormat& f, double x1, double y1, double x2, double y2,
                const Color& color) {
    if (view.bits == nullptr || !f.Drawable() || !Finite(x1, y1, x2, y2)) return;
    if (y2 < y1) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const Rgba k(color);
    uint32_t s = 0;
    for (int c = 0; c < 3; ++c) s |= Scale(k.c[c], f.mask[c]);
    auto blend = [&](int64_t x, int64_t y, uint32_t w) {
        if (x < 0 || y < 0 || x >= view.width || y >= view.height) return;
        if (k.a < 255) w = (w * (k.a + 1)) >> 8;
        auto mix = [&](uint32_t d) {
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c)
                v |= ((((d & f.mask[c]) * (256 - w)) + (s & f.mask[c]) * w) >> 8) & f.mask[c];
            return v;
        };
        if (f.bitCount == 16) {
            uint16_t& d = view.Row<uint16_t>(int(y))[x];
            d = uint16_t(mix(d));
        } else {
            uint32_t& d = view.Row<uint32_t>(int(y))[x];
            d = mix(d);
        }
    };
    int64_t x = int64_t(x1), y = int64_t(y1);
    const int64_t ex = int64_t(x2), ey = int64_t(y2);
    const int xstep = x2 - x1 < 0 ? -1 : 1;
    const double ddx = std::fabs(x2 - x1), ddy = std::fabs(y2 - y1);
    const bool yMajor = ddx < ddy;
    uint32_t e = uint32_t(std::fabs(x1 - std::trunc(x1)) * std::fabs(y1 - std::trunc(y1)) * 65536.0);
    const uint32_t grad = yMajor ? uint32_t(ddx / ddy * 65536.0) : (ddx > 0 ? uint32_t(ddy / ddx * 65536.0) : 0);
    blend(x, y, 255 - (e >> 8));
    const int64_t steps = yMajor ? ey - y : (ex > x ? ex - x : x - ex);
    for (int64_t i = 1; i < steps; ++i) {
        e += grad;
        const bool carry = e > 0xFFFF;
        e &= 0xFFFF;
        if (yMajor) {
            if (carry) x += xstep;
            ++y;
        } else {
            if (carry) ++y;
            x += xstep;
        }
        const uint32_t w = 255 - (e >> 8);
        blend(x, y, w);
        blend(yMajor ? x + xstep : x, yMajor ? y : y + 1, 255 - w);
    }
}

} // namespace Zephra::surface
