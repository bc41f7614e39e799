// Bilinear rotated blit onto locked surface memory: the inverse mapping per
// row in floating point, 16.16 steps per pixel, spans clipped by guard bands.
#include <algorithm>
#include <cmath>
#include "framework/display/surface_kernels.h"
#include "framework/display/surface_simd.h"

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

// SSE2 sample and packed 8888 write of four pixels at once, equal to
// Bilinear followed by Writer::Write for Loop::Packed8888. Weights and taps
// sit in 32-bit lanes (one pixel each); two channels share a lane as 16-bit
// halves, so one multiply weights both.
inline void Packed8888Fast4(const uint32_t* origin, int width, int64_t U, int64_t V, int64_t dU, int64_t dV,
                            uint32_t* d) {
    using namespace simd;
    __m128i t[4];
    for (int i = 0; i < 4; ++i) {
        const uint32_t* p = origin + size_t((V + i * dV) >> 16) * size_t(width) + size_t((U + i * dU) >> 16);
        t[i] = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + width)));
    }
    // Rows of t are pixels [c00 c10 c01 c11]; transposed, each register is one tap of the four pixels.
    const __m128i a01 = _mm_unpacklo_epi32(t[0], t[1]), a23 = _mm_unpacklo_epi32(t[2], t[3]);
    const __m128i b01 = _mm_unpackhi_epi32(t[0], t[1]), b23 = _mm_unpackhi_epi32(t[2], t[3]);
    const __m128i tap[4] = {_mm_unpacklo_epi64(a01, a23), _mm_unpackhi_epi64(a01, a23), _mm_unpacklo_epi64(b01, b23),
                            _mm_unpackhi_epi64(b01, b23)};
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi32(1), low = _mm_set1_epi32(0xFFFE);
    const __m128i uv = _mm_setr_epi32(int(U), int(U + dU), int(U + 2 * dU), int(U + 3 * dU));
    const __m128i vv = _mm_setr_epi32(int(V), int(V + dV), int(V + 2 * dV), int(V + 3 * dV));
    const __m128i fu = _mm_or_si128(_mm_and_si128(uv, low), one), fv = _mm_or_si128(_mm_and_si128(vv, low), one);
    const __m128i gu = _mm_sub_epi16(zero, fu), gv = _mm_sub_epi16(zero, fv);   // 0x10000 - f in the low halves
    const __m128i w[4] = {_mm_mulhi_epu16(gu, gv), _mm_mulhi_epu16(fu, gv), _mm_mulhi_epu16(gu, fv),
                          _mm_mulhi_epu16(fu, fv)};
    const __m128i m = _mm_set1_epi32(0x00FF00FF);
    __m128i rb = zero, ga = zero, total = zero;
    for (int i = 0; i < 4; ++i) {
        const __m128i a = _mm_mulhi_epu16(w[i], _mm_srli_epi32(tap[i], 24));
        const __m128i a2 = _mm_or_si128(a, _mm_slli_epi32(a, 16));
        total = _mm_add_epi32(total, a);
        rb = _mm_add_epi16(rb, _mm_mullo_epi16(_mm_and_si128(tap[i], m), a2));
        ga = _mm_add_epi16(ga, _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(tap[i], 8), m), a2));
    }
    const __m128i k = _mm_sub_epi32(_mm_set1_epi32(256), total);
    const __m128i k2 = _mm_or_si128(k, _mm_slli_epi32(k, 16));
    const __m128i dv = Load(d);
    const __m128i drb = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(dv, m), k2), 8);
    const __m128i dg = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(dv, 8), m), k2), 8);
    const __m128i outRB = _mm_and_si128(_mm_add_epi16(_mm_srli_epi16(rb, 8), drb), m);
    const __m128i outG = _mm_and_si128(_mm_add_epi16(_mm_srli_epi16(ga, 8), dg), _mm_set1_epi32(0xFF));
    Store(d, _mm_or_si128(outRB, _mm_slli_epi32(outG, 8)));
}

template <typename T>
void Rotate(const SurfaceView& view, const Taps& taps, const Rotation& r, const Writer& w,
            bool tinted, uint32_t tintAlpha, bool fast) {
    const double cs = std::cos(r.angle), sn = std::sin(r.angle);
    const int64_t dU = int64_t(cs * 65536.0), dV = int64_t(sn * 65536.0);
    const int64_t W = r.srcRect.mWidth, H = r.srcRect.mHeight;
    const size_t origin = size_t(r.srcRect.mY) * size_t(taps.width) + size_t(r.srcRect.mX);
    const int64_t xs = int64_t(r.area.mX), ys = int64_t(r.area.mY);
    const int64_t lastCol = std::min<int64_t>(int64_t(r.area.mWidth - 1.0), view.width - 1 - xs);
    const bool packed = fast && w.loop == Loop::Packed8888 && taps.bits != nullptr;
    for (int64_t j = 0; double(j) < r.area.mHeight; ++j) {
        const int64_t Y = ys + j;
        if (Y < 0 || Y >= view.height) continue;
        const double dx = double(xs) - r.centerX - r.x, dy = double(Y) - r.centerY - r.y;
        const double u = (cs * dx - sn * dy + r.centerX) * 65536.0, v = (sn * dx + cs * dy + r.centerY) * 65536.0;
        if (!(std::fabs(u) < 1e15) || !(std::fabs(v) < 1e15)) continue;
        int64_t U = int64_t(u), V = int64_t(v), first = 0, last = lastCol;
        if (!Span(U, V, dU, dV, W, H, first, last)) continue;
        T* d = view.Row<T>(int(Y)) + xs;
        if (packed) {
            uint32_t* d32 = reinterpret_cast<uint32_t*>(d);
            int64_t i = first;
            for (; i + 3 <= last; i += 4, U += 4 * dU, V += 4 * dV)
                Packed8888Fast4(taps.bits + origin, taps.width, U, V, dU, dV, d32 + i);
            for (; i <= last; ++i, U += dU, V += dV)
                d32[i] = w.Write(d32[i], Bilinear(taps, origin, U, V, tintAlpha, tinted));
            continue;
        }
        for (int64_t i = first; i <= last; ++i, U += dU, V += dV)
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
    const bool fast = k == Kernels::Fast;
    if (f.bitCount == 32)
        Rotate<uint32_t>(view, taps, rot, w, tinted, ca, fast);
    else
        Rotate<uint16_t>(view, taps, rot, w, tinted, ca, fast);
}

} // namespace Zephra::surface
