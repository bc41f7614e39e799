// Transforming rasterisers on 0xAARRGGBB bits: stretched, mirrored, rotated,
// matrix-transformed and textured-triangle drawing.
//
// Arithmetic: source positions step in signed 16.16 fixed point (kept in 64
// bits so that no distance overflows), every float-to-int conversion truncates
// toward zero, and a destination pixel is sampled at its centre. Each inner loop
// is instantiated per draw rule, sampling kind and destination format, so the
// loops carry no mode tests.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>
#include "framework/graphics/blend_rows.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/pixel_blend.h"
#include "framework/graphics/raster_util.h"
#include "framework/graphics/transform_rows.h"

namespace Zephra {

namespace {

constexpr int64_t kHalf = 32768;      // 0.5 in 16.16

// trunc(v · 65536), pinned far outside any image so that wild values (and NaN)
// stay representable and simply miss the source.
int64_t ToFixed(double v) {
    constexpr double kLimit = 1.0e12;
    if (!(v > -kLimit)) v = -kLimit;
    if (v > kLimit) v = kLimit;
    return static_cast<int64_t>(v * 65536.0);
}

// trunc(num · 65536 / den), the step of a stretch.
int64_t FixedRatio(double num, double den) {
    double v = num * 65536.0 / den;
    if (!(v > -6.5e16)) v = -6.5e16;
    if (v > 6.5e16) v = 6.5e16;
    return static_cast<int64_t>(v);
}

// A double already known to be finite and moderate, truncated toward zero.
int ClampToInt(double v, int lo, int hi) {
    if (!(v > lo)) return lo;
    if (v > hi) return hi;
    return static_cast<int>(v);
}

// Runs body with the per-pixel rule of the colour and draw mode (1 additive, any
// other value normal, as in pixel_blend; a colour other than white tints the source).
// The lane forms of raster_util give the same pixels as blend::Normal/Additive.
template <class Body>
void WithPixelRule(const Color& anyColor, int drawMode, Body&& body) {
    const Color color = raster::ClampColor(anyColor);
    const bool tint = !(color == Color::White);
    if (drawMode == DRAWMODE_ADDITIVE) {
        if (tint)
            body([color](uint32_t d, uint32_t s) {
                return raster::AdditiveFast(d, blend::Colorize(s, color));
            });
        else
            body([](uint32_t d, uint32_t s) { return raster::AdditiveFast(d, s); });
    } else {
        if (tint)
            body([color](uint32_t d, uint32_t s) {
                return raster::NormalFast(d, blend::Colorize(s, color));
            });
        else
            body([](uint32_t d, uint32_t s) { return raster::NormalFast(d, s); });
    }
}

// The readable part of a source rectangle. Coordinates are local to the
// rectangle's top-left; [mLoX, mHiX) × [mLoY, mHiY) lies inside the image, so a
// rectangle reaching past the image's edges reads nothing outside it.
struct SourceWindow {
    const uint32_t* mBits = nullptr;
    int mStride = 0;
    int mOriginX = 0;
    int mOriginY = 0;
    int mLoX = 0;
    int mHiX = 0;
    int mLoY = 0;
    int mHiY = 0;

    uint32_t At(int u, int v) const {
        return mBits[ptrdiff_t(mOriginY + v) * mStride + (mOriginX + u)];
    }
};

// The source's bits seen through srcRect. A source that is also the destination
// is read from a snapshot, so that drawing does not feed on its own output.
bool MakeSourceWindow(Image* src, const Rect& srcRect, const void* destBits,
                      std::vector<uint32_t>& snapshot, SourceWindow& win) {
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem || mem->mWidth <= 0 || mem->mHeight <= 0 || srcRect.IsEmpty()) return false;
    const uint32_t* bits = mem->GetBits();
    if (!bits) return false;
    if (bits == destBits) {
        snapshot.assign(bits, bits + size_t(mem->mWidth) * size_t(mem->mHeight));
        bits = snapshot.data();
    }
    win.mBits = bits;
    win.mStride = mem->mWidth;
    win.mOriginX = srcRect.mX;
    win.mOriginY = srcRect.mY;
    win.mLoX = int(std::max<int64_t>(0, -int64_t(srcRect.mX)));
    win.mHiX = int(std::min<int64_t>(srcRect.mWidth, int64_t(mem->mWidth) - srcRect.mX));
    win.mLoY = int(std::max<int64_t>(0, -int64_t(srcRect.mY)));
    win.mHiY = int(std::min<int64_t>(srcRect.mHeight, int64_t(mem->mHeight) - srcRect.mY));
    return win.mLoX < win.mHiX && win.mLoY < win.mHiY;
}

// floor(n / d) for n < 2^52 and 0 < d < 2^32 with a quotient below 2^11, by a
// double division: both operands are exact, and a quotient short of the next
// integer by at least 1/d cannot round up to it.
inline uint32_t DivFloor(uint64_t n, uint64_t d) {
    return uint32_t(double(int64_t(n)) / double(int64_t(d)));
}

// The alpha-weighted mix of four pixels whose alphas differ; see Mix4. All sums
// fit 32 bits: p is below 2^24 and each colour sum below 2^32.
uint32_t MixWeighted(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fu, uint32_t fv) {
    const uint32_t p00 = (c00 >> 24) * ((256 - fu) * (256 - fv));
    const uint32_t p10 = (c10 >> 24) * (fu * (256 - fv));
    const uint32_t p01 = (c01 >> 24) * ((256 - fu) * fv);
    const uint32_t p11 = (c11 >> 24) * (fu * fv);
    const uint32_t total = p00 + p10 + p01 + p11;
    if (total == 0) return 0;
    auto sum = [&](int shift) {
        return ((c00 >> shift) & 0xFF) * p00 + ((c10 >> shift) & 0xFF) * p10 + ((c01 >> shift) & 0xFF) * p01 +
               ((c11 >> shift) & 0xFF) * p11;
    };
    const uint32_t half = total / 2;
    return ((total + 32768) >> 16) << 24 | DivFloor(uint64_t(sum(16)) + half, total) << 16 |
           DivFloor(uint64_t(sum(8)) + half, total) << 8 | DivFloor(uint64_t(sum(0)) + half, total);
}

// Mixes four pixels with 8-bit fractions fu, fv (0..256). Colours are weighted
// by their alpha so that transparent neighbours do not darken the edges; equal
// alphas (the opaque case) take the plain weighted mean, which is what the
// alpha-weighted one comes to then.
inline uint32_t Mix4(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fu, uint32_t fv) {
    if (((c00 ^ c10) | (c00 ^ c01) | (c00 ^ c11)) >> 24 != 0) return MixWeighted(c00, c10, c01, c11, fu, fv);
    // Across, then down: blue and green in 32-bit lanes, red alone.
    auto spread = [](uint32_t c) { return uint64_t(c & 0xFF) | uint64_t(c & 0xFF00) << 24; };
    const uint64_t top = spread(c00) * (256 - fu) + spread(c10) * fu;
    const uint64_t bottom = spread(c01) * (256 - fu) + spread(c11) * fu;
    const uint32_t redTop = ((c00 >> 16) & 0xFF) * (256 - fu) + ((c10 >> 16) & 0xFF) * fu;
    const uint32_t redBottom = ((c01 >> 16) & 0xFF) * (256 - fu) + ((c11 >> 16) & 0xFF) * fu;
    const uint64_t bg = (top * (256 - fv) + bottom * fv + 0x0000800000008000ull) >> 16;
    const uint32_t red = (redTop * (256 - fv) + redBottom * fv + 32768) >> 16;
    return (c00 & 0xFF000000u) | red << 16 | uint32_t(bg >> 24 & 0xFF00) | uint32_t(bg & 0xFF);
}

// Bilinear sample at 16.16 texel-centre coordinates (texel k's centre is k);
// the footprint is held inside the window, so edges repeat their pixels. A zero
// fraction gives its far neighbours no weight, so they are read from the near row
// or column and never from outside. Without Clamp the position must already lie
// within the window's first and last texel centres.
template <bool Clamp = true>
inline uint32_t SampleBilinear(const SourceWindow& w, int64_t U, int64_t V) {
    if constexpr (Clamp) {
        U = std::clamp<int64_t>(U, int64_t(w.mLoX) << 16, int64_t(w.mHiX - 1) << 16);
        V = std::clamp<int64_t>(V, int64_t(w.mLoY) << 16, int64_t(w.mHiY - 1) << 16);
    }
    const int u0 = int(U >> 16);
    const int v0 = int(V >> 16);
    const uint32_t fu = ((uint32_t(U) & 0xFFFF) + 0x80) >> 8;
    const uint32_t fv = ((uint32_t(V) & 0xFFFF) + 0x80) >> 8;
    // A non-zero fraction implies the next texel is inside the window.
    const uint32_t* row0 = w.mBits + ptrdiff_t(w.mOriginY + v0) * w.mStride + (w.mOriginX + u0);
    const uint32_t* row1 = row0 + (fv ? w.mStride : 0);
    const int du = fu ? 1 : 0;
    return Mix4(row0[0], row0[du], row1[0], row1[du], fu, fv);
}

// The steps k in [k0, k1), within [0, n), for which lo <= start + k * step < hi.
// Positions stay far below 2^62, so no product or difference here overflows.
inline void NarrowSpan(int64_t start, int64_t step, int64_t lo, int64_t hi, int& k0, int& k1) {
    auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    int64_t first, last;   // inclusive
    if (step == 0) {
        if (start < lo || start >= hi) k1 = k0;
        return;
    }
    if (step > 0) {
        first = -floorDiv(start - lo, step);
        last = floorDiv(hi - 1 - start, step);
    } else {
        first = floorDiv(start - hi, -step) + 1;
        last = floorDiv(start - lo, -step);
    }
    if (first > k0) k0 = int(std::min<int64_t>(first, k1));
    if (last + 1 < k1) k1 = int(std::max<int64_t>(last + 1, k0));
}

// The wide loops step positions and address pixels in 31 bits.
bool FitsWideLoops(const SourceWindow& w) {
    constexpr int64_t kLimit = int64_t(1) << 31;
    return w.mHiX < 32768 && w.mHiY < 32768 &&
           (int64_t(w.mOriginY) + w.mHiY) * w.mStride + w.mOriginX + w.mHiX < kLimit;
}

// n bilinear samples stepping from texel-centre position (U, V); the middle run,
// whose positions need no clamping, skips it, eight at a time where the wide
// loops may run.
void SampleRow(const SourceWindow& w, int64_t U, int64_t V, int64_t dU, int64_t dV, int n, uint32_t* out) {
    int m0 = 0, m1 = n;
    NarrowSpan(U, dU, int64_t(w.mLoX) << 16, (int64_t(w.mHiX - 1) << 16) + 1, m0, m1);
    NarrowSpan(V, dV, int64_t(w.mLoY) << 16, (int64_t(w.mHiY - 1) << 16) + 1, m0, m1);
    if (m0 >= m1) m0 = m1 = n;
    int k = 0;
    for (; k < m0; ++k, U += dU, V += dV) out[k] = SampleBilinear<true>(w, U, V);
    const int wide = (m1 - k) & ~7;
    if (wide > 0 && raster::WidestLoops() == raster::Loops::Avx2 && FitsWideLoops(w)) {
        raster::BilinearRowAvx2(w.mBits, w.mStride, ptrdiff_t(w.mOriginY) * w.mStride + w.mOriginX, int32_t(U),
                                int32_t(V), int32_t(dU), int32_t(dV), wide, out + k);
        k += wide;
        U += wide * dU;
        V += wide * dV;
    }
    for (; k < m1; ++k, U += dU, V += dV) out[k] = SampleBilinear<false>(w, U, V);
    for (; k < n; ++k, U += dU, V += dV) out[k] = SampleBilinear<true>(w, U, V);
}

// Destination pixel formats of the raw helpers, seen as 0xAARRGGBB.
struct Format888 {
    using Pixel = uint32_t;
    static uint32_t Load(Pixel p) { return p; }
    static Pixel Store(uint32_t c) { return c; }
};

struct Format565 {
    using Pixel = uint16_t;
    static uint32_t Load(Pixel p) {
        uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
        return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
               ((b << 3) | (b >> 2));
    }
    static Pixel Store(uint32_t c) {
        return Pixel(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
    }
};

struct Format555 {
    using Pixel = uint16_t;
    static uint32_t Load(Pixel p) {
        uint32_t r = (p >> 10) & 0x1F, g = (p >> 5) & 0x1F, b = p & 0x1F;
        return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) |
               ((b << 3) | (b >> 2));
    }
    static Pixel Store(uint32_t c) {
        return Pixel(((c >> 9) & 0x7C00) | ((c >> 6) & 0x03E0) | ((c >> 3) & 0x001F));
    }
};

template <class Body>
bool WithFormat(int formatTag, Body&& body) {
    switch (formatTag) {
    case 0x888: body(Format888{}); return true;
    case 0x565: body(Format565{}); return true;
    case 0x555: body(Format555{}); return true;
    default: return false;
    }
}

// Nearest-pixel stretch of the source area s into the clipped destination q,
// from the right edge leftwards when mirrored. The plain loop applies the
// pixel rule one pixel at a time; the row loops gather a source row once and
// blend it whole (pre, when given, is the source premultiplied, for the
// additive rule as a saturating add).
void NearestStretch(uint32_t* dest, int destWidth, const SourceWindow& win, const Rect& q,
                    const RectD& s, const Color& color, int drawMode, bool mirror, const uint32_t* pre) {
    const int64_t stepX = FixedRatio(s.mWidth, q.mWidth);
    const int64_t stepY = FixedRatio(s.mHeight, q.mHeight);
    // Source columns are the same for every row: look them up once.
    std::vector<int> cols(size_t(q.mWidth));
    int64_t x16 = ToFixed(s.mX);
    for (int i = 0; i < q.mWidth; ++i, x16 += stepX)
        cols[size_t(i)] = int(std::clamp<int64_t>(x16 >> 16, win.mLoX, win.mHiX - 1));
    auto sourceRow = [&](int64_t y16, const uint32_t* bits) {
        const int row = int(std::clamp<int64_t>(y16 >> 16, win.mLoY, win.mHiY - 1));
        return bits + ptrdiff_t(win.mOriginY + row) * win.mStride + win.mOriginX;
    };
    if (raster::WidestLoops() == raster::Loops::Reference) {
        WithPixelRule(color, drawMode, [&](auto rule) {
            int64_t y16 = ToFixed(s.mY);
            for (int j = 0; j < q.mHeight; ++j, y16 += stepY) {
                const uint32_t* srcRow = sourceRow(y16, win.mBits);
                uint32_t* d = dest + ptrdiff_t(q.mY + j) * destWidth + q.mX;
                if (mirror) {
                    for (int i = 0; i < q.mWidth; ++i) {
                        uint32_t& px = d[q.mWidth - 1 - i];
                        px = rule(px, srcRow[cols[size_t(i)]]);
                    }
                } else {
                    for (int i = 0; i < q.mWidth; ++i) d[i] = rule(d[i], srcRow[cols[size_t(i)]]);
                }
            }
        });
        return;
    }
    const Color tint = raster::ClampColor(color);
    const bool tinted = !(tint == Color::White);
    const bool additive = drawMode == DRAWMODE_ADDITIVE;
    if (tinted || !additive) pre = nullptr;
    std::vector<uint32_t> gathered(size_t(q.mWidth));
    const uint32_t* last = nullptr;
    int64_t y16 = ToFixed(s.mY);
    for (int j = 0; j < q.mHeight; ++j, y16 += stepY) {
        const uint32_t* srcRow = sourceRow(y16, pre ? pre : win.mBits);
        if (srcRow != last) {
            for (int i = 0; i < q.mWidth; ++i) gathered[size_t(i)] = srcRow[cols[size_t(i)]];
            if (tinted) raster::TintRow(gathered.data(), q.mWidth, tint);
            last = srcRow;
        }
        uint32_t* d = dest + ptrdiff_t(q.mY + j) * destWidth + q.mX;
        if (pre)
            raster::AddPremultipliedRow(d, gathered.data(), q.mWidth, mirror);
        else if (additive)
            raster::AdditiveRow(d, gathered.data(), q.mWidth, mirror);
        else
            raster::NormalRow(d, gathered.data(), q.mWidth, mirror);
    }
}

// One axis of the filtered stretch: for each destination sample a run of source
// taps whose integer weights sum to exactly kFilterOne, so a uniform colour
// stays exact. Shrinking averages the covered source span; enlarging
// interpolates linearly between the two nearest source centres.
constexpr int kFilterOne = 4096;

struct Tap {
    int mIndex;
    int mWeight;
};

struct AxisFilter {
    std::vector<int> mStart;   // first tap of each sample, plus the end
    std::vector<Tap> mTaps;
    int mMaxTaps = 0;          // the most taps of one sample
};

void BuildAxisFilter(int destLength, int firstSample, int sampleCount, double srcStart, double srcSpan,
                     int lo, int hi, AxisFilter& f) {
    f.mStart.clear();
    f.mTaps.clear();
    f.mMaxTaps = 0;
    const double scale = srcSpan / destLength;
    f.mStart.reserve(size_t(sampleCount) + 1);
    f.mTaps.reserve(size_t(sampleCount) * size_t(scale > 1.0 ? std::min(scale, 64.0) + 2 : 2));
    std::vector<double> weights;
    for (int n = 0; n < sampleCount; ++n) {
        const int i = firstSample + n;
        f.mStart.push_back(int(f.mTaps.size()));
        const size_t first = f.mTaps.size();
        weights.clear();
        if (scale > 1.0) {
            const double a = std::max(srcStart + i * scale, double(lo));
            const double b = std::min(a + scale, double(hi));
            if (b > a) {
                for (int k = ClampToInt(std::floor(a), lo, hi - 1); k < hi && k < b; ++k) {
                    double w = std::min(b, k + 1.0) - std::max(a, double(k));
                    if (w <= 0) continue;
                    f.mTaps.push_back(Tap{k, 0});
                    weights.push_back(w);
                }
            }
            if (weights.empty()) {
                f.mTaps.push_back(Tap{ClampToInt(std::floor(a), lo, hi - 1), 0});
                weights.push_back(1.0);
            }
        } else {
            const double centre = srcStart + (i + 0.5) * scale - 0.5;
            const double k0 = std::floor(centre);
            const double frac = centre - k0;
            f.mTaps.push_back(Tap{ClampToInt(k0, lo, hi - 1), 0});
            weights.push_back(1.0 - frac);
            if (frac > 0) {
                f.mTaps.push_back(Tap{ClampToInt(k0 + 1, lo, hi - 1), 0});
                weights.push_back(frac);
            }
        }
        double total = 0;
        for (double w : weights) total += w;
        int sum = 0;
        size_t largest = first;
        for (size_t t = first; t < f.mTaps.size(); ++t) {
            int w = int(weights[t - first] / total * kFilterOne + 0.5);
            f.mTaps[t].mWeight = w;
            sum += w;
            if (w > f.mTaps[largest].mWeight) largest = t;
        }
        f.mTaps[largest].mWeight += kFilterOne - sum;
        if (f.mTaps[largest].mWeight < 0) {
            // Many small taps can round up by more than the largest weighs:
            // round the running total instead, which keeps every weight >= 0.
            double running = 0;
            int given = 0;
            for (size_t t = first; t < f.mTaps.size(); ++t) {
                running += weights[t - first];
                const int upTo =
                    t + 1 == f.mTaps.size() ? kFilterOne : int(running / total * kFilterOne + 0.5);
                f.mTaps[t].mWeight = std::max(0, upTo - given);
                given += f.mTaps[t].mWeight;
            }
        }
        f.mMaxTaps = std::max(f.mMaxTaps, int(f.mTaps.size() - first));
    }
    f.mStart.push_back(int(f.mTaps.size()));
}

// The filtered stretch across then down with the wide loops: the integer sums
// of the plain loop in SlowStretchBlt, grouped the other way, so the same
// pixels. The destination goes in strips of columns whose across-sums stay in
// the first-level cache; within a strip each source row's sums are made once,
// while the destination rows that need them pass.
void FilteredStretchWide(uint32_t* dest, int destStride, const Rect& drawn, const SourceWindow& win, int loX,
                         int hiX, const AxisFilter& fx, const AxisFilter& fy, const Color& color, int drawMode) {
    constexpr int kStrip = 128;
    const int columns = hiX - loX, n = drawn.mWidth;
    // Each column's taps as one pair of neighbours where they are one: the
    // first's index from loX, and the weights w0 | w1 << 16.
    std::vector<int32_t> first(static_cast<size_t>(n)), pairs(static_cast<size_t>(n));
    bool paired = true;
    for (int i = 0; i < n && paired; ++i) {
        const int t0 = fx.mStart[size_t(i)], count = fx.mStart[size_t(i) + 1] - t0;
        const Tap& a = fx.mTaps[size_t(t0)];
        const Tap& b = fx.mTaps[size_t(t0 + count - 1)];
        first[size_t(i)] = a.mIndex - loX;
        if (count == 1 || (count == 2 && b.mIndex == a.mIndex))
            pairs[size_t(i)] = count == 1 ? a.mWeight : a.mWeight + b.mWeight;
        else if (count == 2 && b.mIndex == a.mIndex + 1)
            pairs[size_t(i)] = a.mWeight | b.mWeight << 16;
        else
            paired = false;
    }
    // The taps of one row are consecutive source rows: a ring of more slots
    // than taps never drops a row still needed.
    int slots = 1;
    while (slots <= fy.mMaxTaps) slots *= 2;
    // Every slot is written before it is read.
    const std::unique_ptr<double[]> sums(new double[size_t(slots) * 4 * kStrip]);
    std::vector<int> held(static_cast<size_t>(slots));
    std::vector<int32_t> stripFirst(kStrip), stripPairs(kStrip), scratch(size_t(4) * size_t(columns + 8));
    std::vector<uint32_t> samples(kStrip);
    std::vector<raster::AcrossSums> rows(size_t(fy.mMaxTaps));
    raster::AcrossTaps across;
    const Color tint = raster::ClampColor(color);
    // Untinted and normal, the samples go straight onto the destination.
    const bool blendAsMade = tint == Color::White && drawMode != DRAWMODE_ADDITIVE;
    for (int s0 = 0; s0 < n; s0 += kStrip) {
        const int width = std::min(kStrip, n - s0), padded = (width + 7) & ~7;
        // Paired, the strip reads the source from its first column's first tap
        // (the taps move right with the columns) to its last column's pair;
        // padding columns read that first pixel and draw nothing.
        const int from = paired ? first[size_t(s0)] : 0;
        const int to = paired ? std::min(columns, first[size_t(s0 + width - 1)] + 2) : 0;
        if (paired) {
            for (int i = 0; i < padded; ++i) {
                stripFirst[size_t(i)] = i < width ? first[size_t(s0 + i)] - from : 0;
                stripPairs[size_t(i)] = i < width ? pairs[size_t(s0 + i)] : kFilterOne;
            }
            raster::PrepareAcross(stripFirst.data(), stripPairs.data(), padded, across);
        }
        // Otherwise (shrinking) the taps one by one; the sums fit 32 bits.
        auto acrossPlain = [&](const uint32_t* row, double* a, double* r, double* g, double* b) {
            for (int i = 0; i < padded; ++i) {
                uint32_t sa = 0, sr = 0, sg = 0, sb = 0;
                const int column = std::min(s0 + i, n - 1);
                for (int t = fx.mStart[size_t(column)]; i < width && t < fx.mStart[size_t(column) + 1]; ++t) {
                    const Tap& tap = fx.mTaps[size_t(t)];
                    const uint32_t p = row[tap.mIndex - loX], aw = (p >> 24) * uint32_t(tap.mWeight);
                    sa += aw;
                    sr += ((p >> 16) & 0xFF) * aw;
                    sg += ((p >> 8) & 0xFF) * aw;
                    sb += (p & 0xFF) * aw;
                }
                a[i] = sa;
                r[i] = sr;
                g[i] = sg;
                b[i] = sb;
            }
        };
        std::fill(held.begin(), held.end(), -1);
        for (int j = 0; j < drawn.mHeight; ++j) {
            int count = 0;
            for (int ty = fy.mStart[size_t(j)]; ty < fy.mStart[size_t(j) + 1]; ++ty) {
                const Tap& tap = fy.mTaps[size_t(ty)];
                if (tap.mWeight == 0) continue;
                const size_t slot = size_t(tap.mIndex & (slots - 1));
                double* a = sums.get() + slot * 4 * kStrip;
                double *r = a + kStrip, *g = r + kStrip, *b = g + kStrip;
                if (held[slot] != tap.mIndex) {
                    const uint32_t* row = win.mBits + ptrdiff_t(tap.mIndex) * win.mStride + loX;
                    if (paired)
                        raster::StretchAcrossAvx2(row + from, to - from, across, padded, scratch.data(), a, r, g, b);
                    else
                        acrossPlain(row, a, r, g, b);
                    held[slot] = tap.mIndex;
                }
                rows[size_t(count++)] = raster::AcrossSums{a, r, g, b, double(tap.mWeight)};
            }
            if (count == 0) continue;
            uint32_t* to = dest + ptrdiff_t(drawn.mY + j) * destStride + drawn.mX + s0;
            if (blendAsMade) {
                raster::StretchDownOverAvx2(rows.data(), count, width, to);
            } else {
                raster::StretchDownAvx2(rows.data(), count, padded, samples.data());
                raster::BlendRow(to, samples.data(), width, tint, drawMode);
            }
        }
    }
}

// Textured triangle corner after translation, ready for rasterising.
struct RasterVertex {
    int64_t sx, sy;       // 1/256 pixel
    double attr[6];       // u, v in texels, then alpha, red, green, blue
};

// Vertices farther out than this draw nothing: the edge products must fit 64 bits.
constexpr double kMaxCoord = 2097152.0;

// Fills a triangle by pixel centres with the top-left rule, so triangles sharing
// an edge cover each pixel once. shade(pixel, attributes in 16.16) gives the new
// pixel from the old one.
template <class Fmt, int NumAttr, class Shade>
void RasterTriangle(RasterVertex v0, RasterVertex v1, RasterVertex v2, const Rect& clip, uint8_t* base,
                    int pitch, Shade&& shade) {
    int64_t area = (v1.sx - v0.sx) * (v2.sy - v0.sy) - (v1.sy - v0.sy) * (v2.sx - v0.sx);
    if (area == 0) return;
    if (area < 0) {
        std::swap(v1, v2);
        area = -area;
    }
    const RasterVertex* a[3] = {&v1, &v2, &v0};   // edge e runs from a[e] to b[e]
    const RasterVertex* b[3] = {&v2, &v0, &v1};
    int64_t stepX[3], stepY[3], rowE[3], bias[3];

    const int64_t minX = std::min({v0.sx, v1.sx, v2.sx}), maxX = std::max({v0.sx, v1.sx, v2.sx});
    const int64_t minY = std::min({v0.sy, v1.sy, v2.sy}), maxY = std::max({v0.sy, v1.sy, v2.sy});
    auto floorDiv256 = [](int64_t v) { return v >= 0 ? v / 256 : -((-v + 255) / 256); };
    const int px0 = int(std::max<int64_t>(clip.mX, floorDiv256(minX)));
    const int px1 = int(std::min<int64_t>(int64_t(clip.mX) + clip.mWidth - 1, floorDiv256(maxX)));
    const int py0 = int(std::max<int64_t>(clip.mY, floorDiv256(minY)));
    const int py1 = int(std::min<int64_t>(int64_t(clip.mY) + clip.mHeight - 1, floorDiv256(maxY)));
    if (px0 > px1 || py0 > py1) return;

    const int64_t cx = int64_t(px0) * 256 + 128, cy = int64_t(py0) * 256 + 128;
    for (int e = 0; e < 3; ++e) {
        const int64_t dx = b[e]->sx - a[e]->sx, dy = b[e]->sy - a[e]->sy;
        stepX[e] = -dy * 256;
        stepY[e] = dx * 256;
        rowE[e] = dx * (cy - a[e]->sy) - dy * (cx - a[e]->sx);
        const bool topLeft = (dy == 0 && dx > 0) || dy < 0;
        bias[e] = topLeft ? 0 : -1;
    }

    // Attribute planes from the snapped corners, evaluated at pixel centres.
    const double x0 = v0.sx / 256.0, y0 = v0.sy / 256.0;
    const double ex1 = v1.sx / 256.0 - x0, ey1 = v1.sy / 256.0 - y0;
    const double ex2 = v2.sx / 256.0 - x0, ey2 = v2.sy / 256.0 - y0;
    const double det = ex1 * ey2 - ex2 * ey1;
    int64_t attrStep[NumAttr], attrRow[NumAttr];
    double attrDx[NumAttr], attrDy[NumAttr];
    for (int k = 0; k < NumAttr; ++k) {
        const double d1 = v1.attr[k] - v0.attr[k], d2 = v2.attr[k] - v0.attr[k];
        attrDx[k] = (d1 * ey2 - d2 * ey1) / det;
        attrDy[k] = (d2 * ex1 - d1 * ex2) / det;
        attrStep[k] = ToFixed(attrDx[k]);
    }

    for (int py = py0; py <= py1; ++py) {
        int64_t e0 = rowE[0], e1 = rowE[1], e2 = rowE[2];
        rowE[0] += stepY[0];
        rowE[1] += stepY[1];
        rowE[2] += stepY[2];
        for (int k = 0; k < NumAttr; ++k)
            attrRow[k] = ToFixed(v0.attr[k] + attrDx[k] * (px0 + 0.5 - x0) + attrDy[k] * (py + 0.5 - y0));
        auto* row = reinterpret_cast<typename Fmt::Pixel*>(base + ptrdiff_t(py) * pitch);
        bool entered = false;
        for (int px = px0; px <= px1; ++px) {
            if ((e0 + bias[0]) >= 0 && (e1 + bias[1]) >= 0 && (e2 + bias[2]) >= 0) {
                entered = true;
                row[px] = Fmt::Store(shade(Fmt::Load(row[px]), attrRow));
            } else if (entered) {
                break;   // convex: the span of this row is over
            }
            e0 += stepX[0];
            e1 += stepX[1];
            e2 += stepX[2];
            for (int k = 0; k < NumAttr; ++k) attrRow[k] += attrStep[k];
        }
    }
}

// The nearest-pixel stretch of a clipped area onto dest's bits.
void NearestStretchInto(MemoryImage& dest, Image* src, const Rect& clipped, const RectD& area,
                        const Color& color, int drawMode, bool mirror) {
    uint32_t* bits = dest.GetBits();
    if (bits == nullptr) return;
    if (!bits) return;
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem) return;
    std::vector<uint32_t> snapshot;
    SourceWindow win;
    if (!MakeSourceWindow(src, Rect(0, 0, mem->mWidth, mem->mHeight), bits, snapshot, win)) return;
    // A copy read instead of the image itself (drawn onto itself) has no premultiplied twin.
    const bool keepsCopy = snapshot.empty() && !mem->mIsVolatile && drawMode == DRAWMODE_ADDITIVE &&
                           color == Color::White && raster::WidestLoops() != raster::Loops::Reference;
    NearestStretch(bits, dest.mWidth, win, clipped, area, color, drawMode, mirror,
                   keepsCopy ? mem->GetPremultipliedData() : nullptr);
    dest.BitsChanged();
}

} // namespace

// --- clip helpers -----------------------------------------------------------

bool StretchBltClipHelper(const Rect& srcRect, const Rect& clip, const Rect& destRect, RectD& srcArea,
                          Rect& clippedRect) {
    clippedRect = destRect.Intersection(clip);
    // An empty destination would divide by zero below; an empty clipped
    // rectangle leaves nothing to draw however the area rounds.
    if (destRect.IsEmpty() || clippedRect.IsEmpty()) return false;
    const double sx = double(srcRect.mWidth) / double(destRect.mWidth);
    const double sy = double(srcRect.mHeight) / double(destRect.mHeight);
    srcArea.mX = (double(clippedRect.mX) - destRect.mX) * sx + srcRect.mX;
    srcArea.mY = (double(clippedRect.mY) - destRect.mY) * sy + srcRect.mY;
    srcArea.mWidth = (double(clippedRect.mWidth) - destRect.mWidth) * sx + srcRect.mWidth;
    srcArea.mHeight = (double(clippedRect.mHeight) - destRect.mHeight) * sy + srcRect.mHeight;
    return srcArea.mWidth > 0 && srcArea.mHeight > 0;
}

bool StretchBltMirrorClipHelper(const Rect& srcRect, const Rect& clip, const Rect& destRect,
                                RectD& srcArea, Rect& clippedRect) {
    if (!StretchBltClipHelper(srcRect, clip, destRect, srcArea, clippedRect)) return false;
    // What the destination's right edge cuts off comes from the source's left.
    const double sx = double(srcRect.mWidth) / double(destRect.mWidth);
    srcArea.mX = (double(destRect.mX) + destRect.mWidth - clippedRect.mX - clippedRect.mWidth) * sx +
                 srcRect.mX;
    return true;
}

bool BltRotatedClipHelper(const float* x, const float* y, const Rect& srcRect, const Rect& clip,
                          double angle, RectD& area, float centerX, float centerY) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    float minX = 1e7f, minY = 1e7f, maxX = -1e7f, maxY = -1e7f;
    for (int corner = 0; corner < 4; ++corner) {
        const double u = (corner & 1) ? srcRect.mWidth : 0;
        const double v = (corner & 2) ? srcRect.mHeight : 0;
        const float X = float((u - centerX) * c + (v - centerY) * s + centerX + *x);
        const float Y = float((v - centerY) * c - (u - centerX) * s + centerY + *y);
        minX = std::min(minX, X);
        maxX = std::max(maxX, X);
        minY = std::min(minY, Y);
        maxY = std::max(maxY, Y);
    }
    const RectD box(minX, minY, double(maxX) - minX, double(maxY) - minY);
    area = box.Intersection(RectD(clip.mX, clip.mY, clip.mWidth, clip.mHeight));
    return area.mWidth > 0 && area.mHeight > 0;
}

bool UnscaledStretchSource(const Rect& srcRect, const Rect& destRect, const Rect& clippedRect, const Image* src,
                           Rect& srcPart) {
    if (src == nullptr || srcRect.mWidth != destRect.mWidth || srcRect.mHeight != destRect.mHeight) return false;
    srcPart = Rect(srcRect.mX + clippedRect.mX - destRect.mX, srcRect.mY + clippedRect.mY - destRect.mY,
                   clippedRect.mWidth, clippedRect.mHeight);
    // Only inside the source: the filter's edge rule differs from the blit's.
    return !srcPart.IsEmpty() && srcPart.Intersection(Rect(0, 0, src->mWidth, src->mHeight)) == srcPart;
}

// --- memory image operations ------------------------------------------------

void MemoryImage::StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                             const Color& color, int drawMode, bool fastStretch) {
    if (!src) return;
    src->mDrawn = 1;
    RectD area;
    Rect clipped;
    const Rect bounded = clip.Intersection(Rect(0, 0, mWidth, mHeight));
    if (!StretchBltClipHelper(srcRect, bounded, destRect, area, clipped)) return;
    Rect unscaled;
    if (UnscaledStretchSource(srcRect, destRect, clipped, src, unscaled)) {
        // Nothing to scale: either stretch gives the source's own pixels, by
        // this class's blit, whose rules are the stretch's (a subclass's blit
        // may keep rules of its own).
        MemoryImage::Blt(src, clipped.mX, clipped.mY, unscaled, color, drawMode);
        return;
    }
    if (!fastStretch) {
        SlowStretchBlt(src, clipped, area, color, drawMode);
        return;
    }
    NearestStretchInto(*this, src, clipped, area, color, drawMode, false);
}

void MemoryImage::StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect,
                                   const Rect& clip, const Color& color, int drawMode, bool fastStretch) {
    (void)fastStretch;   // the mirrored stretch always takes the nearest pixel
    if (!src) return;
    src->mDrawn = 1;
    RectD area;
    Rect clipped;
    const Rect bounded = clip.Intersection(Rect(0, 0, mWidth, mHeight));
    if (!StretchBltMirrorClipHelper(srcRect, bounded, destRect, area, clipped)) return;
    NearestStretchInto(*this, src, clipped, area, color, drawMode, true);
}

void MemoryImage::SlowStretchBlt(Image* src, const Rect& destRect, const RectD& srcArea,
                                 const Color& color, int drawMode) {
    if (!src || destRect.IsEmpty() || !(srcArea.mWidth > 0) || !(srcArea.mHeight > 0)) return;
    // Only the part inside this image is drawn; the scale stays that of destRect.
    const Rect drawn = destRect.Intersection(Rect(0, 0, mWidth, mHeight));
    if (drawn.IsEmpty()) return;
    uint32_t* dest = GetBits();
    if (dest == nullptr) return;
    if (!dest) return;
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem) return;
    std::vector<uint32_t> snapshot;
    SourceWindow win;
    if (!MakeSourceWindow(src, Rect(0, 0, mem->mWidth, mem->mHeight), dest, snapshot, win)) return;
    // Taps stay within the pixels the area touches.
    const int loX = ClampToInt(std::floor(srcArea.mX), 0, win.mHiX - 1);
    const int hiX = std::max(loX + 1, ClampToInt(std::ceil(srcArea.mX + srcArea.mWidth), 1, win.mHiX));
    const int loY = ClampToInt(std::floor(srcArea.mY), 0, win.mHiY - 1);
    const int hiY = std::max(loY + 1, ClampToInt(std::ceil(srcArea.mY + srcArea.mHeight), 1, win.mHiY));
    AxisFilter fx, fy;
    BuildAxisFilter(destRect.mWidth, drawn.mX - destRect.mX, drawn.mWidth, srcArea.mX, srcArea.mWidth, loX,
                    hiX, fx);
    BuildAxisFilter(destRect.mHeight, drawn.mY - destRect.mY, drawn.mHeight, srcArea.mY, srcArea.mHeight,
                    loY, hiY, fy);
    if (raster::WidestLoops() == raster::Loops::Avx2) {
        FilteredStretchWide(dest, mWidth, drawn, win, loX, hiX, fx, fy, color, drawMode);
        BitsChanged();
        return;
    }
    // Separable: each destination row first sums its source rows column by
    // column, then each destination pixel sums its columns. The integer sums are
    // those of the full two-dimensional filter (alpha-weighted, weights totalling
    // 2^24), only grouped differently, so the pixels are the same.
    const int columns = hiX - loX;
    const size_t columnCount = size_t(columns);
    std::vector<uint32_t> colA(columnCount), colR(columnCount), colG(columnCount), colB(columnCount);
    // Two taps per pixel (all enlarging) take a fixed-size loop.
    struct PixelTaps {
        int mIndex0, mIndex1;
        uint32_t mWeight0, mWeight1;
    };
    const bool twoTaps = fx.mMaxTaps <= 2;
    std::vector<PixelTaps> pairs;
    if (twoTaps) {
        pairs.resize(size_t(drawn.mWidth));
        for (int i = 0; i < drawn.mWidth; ++i) {
            const int first = fx.mStart[size_t(i)], count = fx.mStart[size_t(i) + 1] - first;
            const Tap& t0 = fx.mTaps[size_t(first)];
            const Tap& t1 = fx.mTaps[size_t(first + count - 1)];
            pairs[size_t(i)] = PixelTaps{t0.mIndex - loX, t1.mIndex - loX, uint32_t(t0.mWeight),
                                         count > 1 ? uint32_t(t1.mWeight) : 0u};
        }
    }
    auto resolve = [](uint32_t a, uint64_t r, uint64_t g, uint64_t b) -> uint32_t {
        if (a == 0) return 0;
        if (a == 255u << 24) {
            // All opaque: the alpha factor cancels and the rounding is a shift.
            // The sums are multiples of 255, divided exactly by its inverse mod 2^64.
            constexpr uint64_t kInverse255 = 0xFEFEFEFEFEFEFEFFull;
            static_assert(kInverse255 * 255 == 1);
            auto channel = [](uint64_t c) { return uint32_t((c * kInverse255 + (1u << 23)) >> 24); };
            return 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);
        }
        const uint64_t half = a / 2;
        return ((a + (1u << 23)) >> 24) << 24 | DivFloor(r + half, a) << 16 | DivFloor(g + half, a) << 8 |
               DivFloor(b + half, a);
    };
    WithPixelRule(color, drawMode, [&](auto rule) {
        for (int j = 0; j < drawn.mHeight; ++j) {
            // Column sums; each stays below 2^28.
            bool firstRow = true;
            for (int ty = fy.mStart[size_t(j)]; ty < fy.mStart[size_t(j) + 1]; ++ty) {
                const Tap& tapY = fy.mTaps[size_t(ty)];
                const uint32_t w = uint32_t(tapY.mWeight);
                if (w == 0) continue;
                const uint32_t* srcRow = win.mBits + ptrdiff_t(tapY.mIndex) * win.mStride + loX;
                uint32_t* ca = colA.data();
                uint32_t* cr = colR.data();
                uint32_t* cg = colG.data();
                uint32_t* cb = colB.data();
                if (firstRow) {
                    for (int x = 0; x < columns; ++x) {
                        const uint32_t p = srcRow[x], aw = (p >> 24) * w;
                        ca[x] = aw;
                        cr[x] = ((p >> 16) & 0xFF) * aw;
                        cg[x] = ((p >> 8) & 0xFF) * aw;
                        cb[x] = (p & 0xFF) * aw;
                    }
                    firstRow = false;
                } else {
                    for (int x = 0; x < columns; ++x) {
                        const uint32_t p = srcRow[x], aw = (p >> 24) * w;
                        ca[x] += aw;
                        cr[x] += ((p >> 16) & 0xFF) * aw;
                        cg[x] += ((p >> 8) & 0xFF) * aw;
                        cb[x] += (p & 0xFF) * aw;
                    }
                }
            }
            if (firstRow) continue;   // not reached: the weights of a sample total kFilterOne
            // Row sums: alpha below 2^32, colours below 2^40. An alpha of 0 leaves
            // the destination as it is under every rule.
            uint32_t* d = dest + ptrdiff_t(drawn.mY + j) * mWidth + drawn.mX;
            if (twoTaps) {
                for (int i = 0; i < drawn.mWidth; ++i) {
                    const PixelTaps& t = pairs[size_t(i)];
                    const size_t i0 = size_t(t.mIndex0), i1 = size_t(t.mIndex1);
                    const uint32_t a = t.mWeight0 * colA[i0] + t.mWeight1 * colA[i1];
                    if (a == 0) continue;
                    auto mix = [&](const std::vector<uint32_t>& col) {
                        return uint64_t(t.mWeight0) * col[i0] + uint64_t(t.mWeight1) * col[i1];
                    };
                    d[i] = rule(d[i], resolve(a, mix(colR), mix(colG), mix(colB)));
                }
            } else {
                for (int i = 0; i < drawn.mWidth; ++i) {
                    uint32_t a = 0;
                    uint64_t r = 0, g = 0, b = 0;
                    for (int tx = fx.mStart[size_t(i)]; tx < fx.mStart[size_t(i) + 1]; ++tx) {
                        const Tap& tapX = fx.mTaps[size_t(tx)];
                        const uint32_t w = uint32_t(tapX.mWeight);
                        const size_t k = size_t(tapX.mIndex - loX);
                        a += w * colA[k];
                        r += uint64_t(w) * colR[k];
                        g += uint64_t(w) * colG[k];
                        b += uint64_t(w) * colB[k];
                    }
                    if (a != 0) d[i] = rule(d[i], resolve(a, r, g, b));
                }
            }
        }
    });
    BitsChanged();
}

void MemoryImage::BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clip,
                             const Color& color, int drawMode, double angle, float centerX,
                             float centerY) {
    if (!src) return;
    src->mDrawn = 1;
    const Rect bounded = clip.Intersection(Rect(0, 0, mWidth, mHeight));
    RectD area;
    if (!BltRotatedClipHelper(&x, &y, srcRect, bounded, angle, area, centerX, centerY)) return;
    uint32_t* dest = GetBits();
    if (dest == nullptr) return;
    if (!dest) return;
    std::vector<uint32_t> snapshot;
    SourceWindow win;
    if (!MakeSourceWindow(src, srcRect, dest, snapshot, win)) return;

    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const int64_t dU = ToFixed(c);
    const int64_t dV = ToFixed(s);
    // Every pixel the area touches; the coverage test below decides.
    const int x0 = ClampToInt(std::floor(area.mX), bounded.mX, bounded.mX + bounded.mWidth);
    const int x1 = ClampToInt(std::ceil(area.mX + area.mWidth), x0, bounded.mX + bounded.mWidth);
    const int y0 = ClampToInt(std::floor(area.mY), bounded.mY, bounded.mY + bounded.mHeight);
    const int y1 = ClampToInt(std::ceil(area.mY + area.mHeight), y0, bounded.mY + bounded.mHeight);
    const int64_t loU = int64_t(win.mLoX) << 16, hiU = int64_t(win.mHiX) << 16;
    const int64_t loV = int64_t(win.mLoY) << 16, hiV = int64_t(win.mHiY) << 16;

    std::vector<uint32_t> samples(size_t(x1 - x0));
    const Color tint = raster::ClampColor(color);
    for (int Y = y0; Y < y1; ++Y) {
        // Source position of the row's first pixel centre, inverse-rotated.
        const double dx = x0 + 0.5 - centerX - x;
        const double dy = Y + 0.5 - centerY - y;
        const int64_t U0 = ToFixed(c * dx - s * dy + centerX);
        const int64_t V0 = ToFixed(s * dx + c * dy + centerY);
        // The pixels whose source position lies inside the window.
        int k0 = 0, k1 = x1 - x0;
        NarrowSpan(U0, dU, loU, hiU, k0, k1);
        NarrowSpan(V0, dV, loV, hiV, k0, k1);
        if (k0 >= k1) continue;
        const int n = k1 - k0;
        SampleRow(win, U0 + k0 * dU - kHalf, V0 + k0 * dV - kHalf, dU, dV, n, samples.data());
        raster::BlendRow(dest + ptrdiff_t(Y) * mWidth + x0 + k0, samples.data(), n, tint, drawMode);
    }
    BitsChanged();
}

void MemoryImage::BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                            const Color& color, int drawMode, const Rect& srcRect, bool bilinear) {
    if (!src) return;
    src->mDrawn = 1;
    const Rect bounded = clip.Intersection(Rect(0, 0, mWidth, mHeight));
    if (bounded.IsEmpty()) return;
    uint32_t* dest = GetBits();
    if (dest == nullptr) return;
    if (!dest) return;
    BltMatrixHelper(src, x, y, matrix, bounded, color, drawMode, srcRect, dest, mWidth * 4, 0x888, bilinear);
    BitsChanged();
}

void MemoryImage::BltTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count,
                                  const Rect& clip, const Color& color, int drawMode, float tx, float ty,
                                  bool bilinear) {
    if (!texture) return;
    texture->mDrawn = 1;
    const Rect bounded = clip.Intersection(Rect(0, 0, mWidth, mHeight));
    if (bounded.IsEmpty() || !triangles || count <= 0) return;
    uint32_t* dest = GetBits();
    if (dest == nullptr) return;
    if (!dest) return;
    BltTrianglesTexHelper(texture, triangles, count, bounded, color, drawMode, dest, mWidth * 4, 0x888, tx,
                          ty, bilinear);
    BitsChanged();
}

// --- raw-pixel helpers --------------------------------------------------------
// The clip rectangle must lie inside the destination pixels; the callers bound it.

void BltMatrixHelper(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                     const Color& color, int drawMode, const Rect& srcRect, void* destBits,
                     int destPitch, int formatTag, bool bilinear) {
    if (!src) return;
    src->mDrawn = 1;
    if (!destBits || clip.IsEmpty() || srcRect.IsEmpty()) return;
    if (formatTag != 0x888 && formatTag != 0x565 && formatTag != 0x555) return;
    const float* m = matrix.m;
    const double a = m[0], b = m[1], c = m[3], d = m[4];
    const double tx = double(m[2]) + x, ty = double(m[5]) + y;
    const double det = a * d - b * c;
    if (!std::isfinite(det) || det == 0 || !std::isfinite(tx) || !std::isfinite(ty)) return;

    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (int corner = 0; corner < 4; ++corner) {
        const double u = (corner & 1) ? srcRect.mWidth : 0;
        const double v = (corner & 2) ? srcRect.mHeight : 0;
        const double X = a * u + b * v + tx, Y = c * u + d * v + ty;
        minX = std::min(minX, X);
        maxX = std::max(maxX, X);
        minY = std::min(minY, Y);
        maxY = std::max(maxY, Y);
    }
    const int clipRight = clip.mX + clip.mWidth, clipBottom = clip.mY + clip.mHeight;
    const int px0 = ClampToInt(std::floor(minX), clip.mX, clipRight);
    const int px1 = ClampToInt(std::ceil(maxX), px0, clipRight);
    const int py0 = ClampToInt(std::floor(minY), clip.mY, clipBottom);
    const int py1 = ClampToInt(std::ceil(maxY), py0, clipBottom);
    if (px0 >= px1 || py0 >= py1) return;

    std::vector<uint32_t> snapshot;
    SourceWindow win;
    if (!MakeSourceWindow(src, srcRect, destBits, snapshot, win)) return;

    // Inverse of the linear part: destination offsets back to source positions.
    const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    const int64_t dU = ToFixed(ia), dV = ToFixed(ic);
    const int64_t loU = int64_t(win.mLoX) << 16, hiU = int64_t(win.mHiX) << 16;
    const int64_t loV = int64_t(win.mLoY) << 16, hiV = int64_t(win.mHiY) << 16;
    auto* base = static_cast<uint8_t*>(destBits);
    std::vector<uint32_t> samples(size_t(px1 - px0));

    WithFormat(formatTag, [&](auto fmt) {
        using Fmt = decltype(fmt);
        WithPixelRule(color, drawMode, [&](auto rule) {
            auto run = [&](auto sampleRow) {
                for (int py = py0; py < py1; ++py) {
                    const double X0 = px0 + 0.5 - tx, Y0 = py + 0.5 - ty;
                    const int64_t U0 = ToFixed(ia * X0 + ib * Y0);
                    const int64_t V0 = ToFixed(ic * X0 + id * Y0);
                    // The pixels whose source position lies inside the window.
                    int k0 = 0, k1 = px1 - px0;
                    NarrowSpan(U0, dU, loU, hiU, k0, k1);
                    NarrowSpan(V0, dV, loV, hiV, k0, k1);
                    if (k0 >= k1) continue;
                    const int n = k1 - k0;
                    sampleRow(U0 + k0 * dU, V0 + k0 * dV, n, samples.data());
                    auto* row =
                        reinterpret_cast<typename Fmt::Pixel*>(base + ptrdiff_t(py) * destPitch) + px0 + k0;
                    for (int k = 0; k < n; ++k)
                        row[k] = Fmt::Store(rule(Fmt::Load(row[k]), samples[size_t(k)]));
                }
            };
            if (bilinear) {
                run([&](int64_t U, int64_t V, int n, uint32_t* out) {
                    SampleRow(win, U - kHalf, V - kHalf, dU, dV, n, out);
                });
            } else {
                run([&](int64_t U, int64_t V, int n, uint32_t* out) {
                    for (int k = 0; k < n; ++k, U += dU, V += dV) out[k] = win.At(int(U >> 16), int(V >> 16));
                });
            }
        });
    });
}

void BltTrianglesTexHelper(Image* texture, const TriVertex (*triangles)[3], int count, const Rect& clip,
                           const Color& color, int drawMode, void* destBits, int destPitch,
                           int formatTag, float tx, float ty, bool bilinear) {
    if (!texture) return;
    texture->mDrawn = 1;
    if (!triangles || count <= 0 || !destBits || clip.IsEmpty()) return;
    if (formatTag != 0x888 && formatTag != 0x565 && formatTag != 0x555) return;
    std::vector<uint32_t> snapshot;
    SourceWindow win;
    if (!MakeSourceWindow(texture, Rect(0, 0, texture->mWidth, texture->mHeight), destBits, snapshot, win))
        return;
    const double texW = texture->mWidth, texH = texture->mHeight;
    auto* base = static_cast<uint8_t*>(destBits);
    const bool additive = drawMode == DRAWMODE_ADDITIVE;

    for (int t = 0; t < count; ++t) {
        RasterVertex rv[3];
        bool usable = true;
        uint32_t tint[3];
        for (int k = 0; k < 3; ++k) {
            const TriVertex& in = triangles[t][k];
            const double X = double(in.x) + tx, Y = double(in.y) + ty;
            if (!(std::fabs(X) < kMaxCoord) || !(std::fabs(Y) < kMaxCoord) || !std::isfinite(in.u) ||
                !std::isfinite(in.v)) {
                usable = false;
                break;
            }
            rv[k].sx = static_cast<int64_t>(X * 256.0);
            rv[k].sy = static_cast<int64_t>(Y * 256.0);
            rv[k].attr[0] = in.u * texW;
            rv[k].attr[1] = in.v * texH;
            // A vertex colour of 0 stands for white, as on the 3D road.
            tint[k] = blend::Colorize(in.color == 0 ? 0xFFFFFFFFu : in.color, raster::ClampColor(color));
            rv[k].attr[2] = tint[k] >> 24;
            rv[k].attr[3] = (tint[k] >> 16) & 0xFF;
            rv[k].attr[4] = (tint[k] >> 8) & 0xFF;
            rv[k].attr[5] = tint[k] & 0xFF;
        }
        if (!usable) continue;

        WithFormat(formatTag, [&](auto fmt) {
            using Fmt = decltype(fmt);
            auto sampleAt = [&](const int64_t* attr) {
                if (bilinear) return SampleBilinear(win, attr[0] - kHalf, attr[1] - kHalf);
                const int u = int(std::clamp<int64_t>(attr[0] >> 16, 0, win.mHiX - 1));
                const int v = int(std::clamp<int64_t>(attr[1] >> 16, 0, win.mHiY - 1));
                return win.At(u, v);
            };
            if (tint[0] == tint[1] && tint[0] == tint[2]) {
                // One colour for the whole triangle: the fixed rule of that colour.
                WithPixelRule(Color(tint[0]), drawMode, [&](auto rule) {
                    RasterTriangle<Fmt, 2>(rv[0], rv[1], rv[2], clip, base, destPitch,
                                           [&](uint32_t d, const int64_t* attr) { return rule(d, sampleAt(attr)); });
                });
            } else {
                auto channel = [](int64_t v) { return int(std::clamp<int64_t>(v >> 16, 0, 255)); };
                RasterTriangle<Fmt, 6>(rv[0], rv[1], rv[2], clip, base, destPitch,
                                       [&](uint32_t d, const int64_t* attr) {
                                           const Color shadeColor(channel(attr[3]), channel(attr[4]),
                                                                  channel(attr[5]), channel(attr[2]));
                                           const uint32_t s = blend::Colorize(sampleAt(attr), shadeColor);
                                           return additive ? blend::Additive(d, s) : blend::Normal(d, s);
                                       });
            }
        });
    }
}

} // namespace Zephra
