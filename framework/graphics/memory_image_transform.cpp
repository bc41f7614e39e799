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
#include <vector>
#include "framework/graphics/memory_image.h"
#include "framework/graphics/pixel_blend.h"

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
template <class Body>
void WithPixelRule(const Color& color, int drawMode, Body&& body) {
    const bool tint = !(color == Color::White);
    if (drawMode == DRAWMODE_ADDITIVE) {
        if (tint)
            body([color](uint32_t d, uint32_t s) { return blend::Additive(d, blend::Colorize(s, color)); });
        else
            body([](uint32_t d, uint32_t s) { return blend::Additive(d, s); });
    } else {
        if (tint)
            body([color](uint32_t d, uint32_t s) { return blend::Normal(d, blend::Colorize(s, color)); });
        else
            body([](uint32_t d, uint32_t s) { return blend::Normal(d, s); });
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

// Mixes four pixels with 8-bit fractions fu, fv (0..256). Colours are weighted
// by their alpha so that transparent neighbours do not darken the edges; equal
// alphas (the opaque case) take the plain weighted mean.
inline uint32_t Mix4(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fu, uint32_t fv) {
    const uint32_t w00 = (256 - fu) * (256 - fv);
    const uint32_t w10 = fu * (256 - fv);
    const uint32_t w01 = (256 - fu) * fv;
    const uint32_t w11 = fu * fv;
    const uint32_t a00 = c00 >> 24, a10 = c10 >> 24, a01 = c01 >> 24, a11 = c11 >> 24;
    auto ch = [](uint32_t c, int shift) { return (c >> shift) & 0xFF; };
    if (a00 == a10 && a00 == a01 && a00 == a11) {
        uint32_t out = a00 << 24;
        for (int shift = 0; shift <= 16; shift += 8) {
            uint32_t sum = ch(c00, shift) * w00 + ch(c10, shift) * w10 + ch(c01, shift) * w01 +
                           ch(c11, shift) * w11;
            out |= ((sum + 32768) >> 16) << shift;
        }
        return out;
    }
    const uint64_t p00 = uint64_t(a00) * w00, p10 = uint64_t(a10) * w10;
    const uint64_t p01 = uint64_t(a01) * w01, p11 = uint64_t(a11) * w11;
    const uint64_t total = p00 + p10 + p01 + p11;
    if (total == 0) return 0;
    uint32_t out = uint32_t((total + 32768) >> 16) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint64_t sum = ch(c00, shift) * p00 + ch(c10, shift) * p10 + ch(c01, shift) * p01 +
                       ch(c11, shift) * p11;
        out |= uint32_t((sum + total / 2) / total) << shift;
    }
    return out;
}

// Bilinear sample at 16.16 texel-centre coordinates (texel k's centre is k);
// the footprint is held inside the window, so edges repeat their pixels.
inline uint32_t SampleBilinear(const SourceWindow& w, int64_t U, int64_t V) {
    U = std::clamp<int64_t>(U, int64_t(w.mLoX) << 16, int64_t(w.mHiX - 1) << 16);
    V = std::clamp<int64_t>(V, int64_t(w.mLoY) << 16, int64_t(w.mHiY - 1) << 16);
    const int u0 = int(U >> 16);
    const int v0 = int(V >> 16);
    const uint32_t fu = ((uint32_t(U) & 0xFFFF) + 0x80) >> 8;
    const uint32_t fv = ((uint32_t(V) & 0xFFFF) + 0x80) >> 8;
    const uint32_t c00 = w.At(u0, v0);
    if (fu == 0 && fv == 0) return c00;
    // A non-zero fraction implies the next texel is inside the window.
    const uint32_t c10 = fu ? w.At(u0 + 1, v0) : c00;
    const uint32_t c01 = fv ? w.At(u0, v0 + 1) : c00;
    const uint32_t c11 = fu && fv ? w.At(u0 + 1, v0 + 1) : (fu ? c10 : c01);
    return Mix4(c00, c10, c01, c11, fu, fv);
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
// from the right edge leftwards when mirrored.
void NearestStretch(uint32_t* dest, int destWidth, const SourceWindow& win, const Rect& q,
                    const RectD& s, const Color& color, int drawMode, bool mirror) {
    const int64_t stepX = FixedRatio(s.mWidth, q.mWidth);
    const int64_t stepY = FixedRatio(s.mHeight, q.mHeight);
    // Source columns are the same for every row: look them up once.
    std::vector<int> cols(size_t(q.mWidth));
    int64_t x16 = ToFixed(s.mX);
    for (int i = 0; i < q.mWidth; ++i, x16 += stepX)
        cols[size_t(i)] = int(std::clamp<int64_t>(x16 >> 16, win.mLoX, win.mHiX - 1));
    WithPixelRule(color, drawMode, [&](auto rule) {
        int64_t y16 = ToFixed(s.mY);
        for (int j = 0; j < q.mHeight; ++j, y16 += stepY) {
            const int row = int(std::clamp<int64_t>(y16 >> 16, win.mLoY, win.mHiY - 1));
            const uint32_t* srcRow = win.mBits + ptrdiff_t(win.mOriginY + row) * win.mStride + win.mOriginX;
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
};

void BuildAxisFilter(int destLength, int firstSample, int sampleCount, double srcStart, double srcSpan,
                     int lo, int hi, AxisFilter& f) {
    f.mStart.clear();
    f.mTaps.clear();
    const double scale = srcSpan / destLength;
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
    }
    f.mStart.push_back(int(f.mTaps.size()));
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

// --- memory image operations ------------------------------------------------

void MemoryImage::StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                             const Color& color, int drawMode, bool fastStretch) {
    if (!src) return;
    src->mDrawn = 1;
    RectD area;
    Rect clipped;
    const Rect bounded = clip.Intersection(Rect(0, 0, mWidth, mHeight));
    if (!StretchBltClipHelper(srcRect, bounded, destRect, area, clipped)) return;
    if (!fastStretch) {
        SlowStretchBlt(src, clipped, area, color, drawMode);
        return;
    }
    uint32_t* dest = GetBits();
    if (!dest) return;
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem) return;
    std::vector<uint32_t> snapshot;
    SourceWindow win;
    if (!MakeSourceWindow(src, Rect(0, 0, mem->mWidth, mem->mHeight), dest, snapshot, win)) return;
    NearestStretch(dest, mWidth, win, clipped, area, color, drawMode, false);
    BitsChanged();
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
    uint32_t* dest = GetBits();
    if (!dest) return;
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem) return;
    std::vector<uint32_t> snapshot;
    SourceWindow win;
    if (!MakeSourceWindow(src, Rect(0, 0, mem->mWidth, mem->mHeight), dest, snapshot, win)) return;
    NearestStretch(dest, mWidth, win, clipped, area, color, drawMode, true);
    BitsChanged();
}

void MemoryImage::SlowStretchBlt(Image* src, const Rect& destRect, const RectD& srcArea,
                                 const Color& color, int drawMode) {
    if (!src || destRect.IsEmpty() || !(srcArea.mWidth > 0) || !(srcArea.mHeight > 0)) return;
    // Only the part inside this image is drawn; the scale stays that of destRect.
    const Rect drawn = destRect.Intersection(Rect(0, 0, mWidth, mHeight));
    if (drawn.IsEmpty()) return;
    uint32_t* dest = GetBits();
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
    WithPixelRule(color, drawMode, [&](auto rule) {
        for (int j = 0; j < drawn.mHeight; ++j) {
            uint32_t* d = dest + ptrdiff_t(drawn.mY + j) * mWidth + drawn.mX;
            for (int i = 0; i < drawn.mWidth; ++i) {
                // Alpha-weighted sums; weights total 2^24.
                uint64_t a = 0, r = 0, g = 0, b = 0;
                for (int ty = fy.mStart[size_t(j)]; ty < fy.mStart[size_t(j) + 1]; ++ty) {
                    const Tap& tapY = fy.mTaps[size_t(ty)];
                    const uint32_t* srcRow = win.mBits + ptrdiff_t(tapY.mIndex) * win.mStride;
                    for (int tx = fx.mStart[size_t(i)]; tx < fx.mStart[size_t(i) + 1]; ++tx) {
                        const Tap& tapX = fx.mTaps[size_t(tx)];
                        const uint32_t p = srcRow[tapX.mIndex];
                        const uint64_t aw = uint64_t(p >> 24) * uint32_t(tapX.mWeight * tapY.mWeight);
                        a += aw;
                        r += ((p >> 16) & 0xFF) * aw;
                        g += ((p >> 8) & 0xFF) * aw;
                        b += (p & 0xFF) * aw;
                    }
                }
                uint32_t s = 0;
                if (a != 0) {
                    s = uint32_t((a + (1u << 23)) >> 24) << 24 | uint32_t((r + a / 2) / a) << 16 |
                        uint32_t((g + a / 2) / a) << 8 | uint32_t((b + a / 2) / a);
                }
                d[i] = rule(d[i], s);
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

    WithPixelRule(color, drawMode, [&](auto rule) {
        for (int Y = y0; Y < y1; ++Y) {
            // Source position of the row's first pixel centre, inverse-rotated.
            const double dx = x0 + 0.5 - centerX - x;
            const double dy = Y + 0.5 - centerY - y;
            int64_t U = ToFixed(c * dx - s * dy + centerX);
            int64_t V = ToFixed(s * dx + c * dy + centerY);
            uint32_t* row = dest + ptrdiff_t(Y) * mWidth;
            for (int X = x0; X < x1; ++X, U += dU, V += dV) {
                if (U < loU || U >= hiU || V < loV || V >= hiV) continue;
                row[X] = rule(row[X], SampleBilinear(win, U - kHalf, V - kHalf));
            }
        }
    });
    BitsChanged();
}

void MemoryImage::BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                            const Color& color, int drawMode, const Rect& srcRect, bool bilinear) {
    if (!src) return;
    src->mDrawn = 1;
    const Rect bounded = clip.Intersection(Rect(0, 0, mWidth, mHeight));
    if (bounded.IsEmpty()) return;
    uint32_t* dest = GetBits();
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

    WithFormat(formatTag, [&](auto fmt) {
        using Fmt = decltype(fmt);
        WithPixelRule(color, drawMode, [&](auto rule) {
            auto run = [&](auto sample) {
                for (int py = py0; py < py1; ++py) {
                    const double X0 = px0 + 0.5 - tx, Y0 = py + 0.5 - ty;
                    int64_t U = ToFixed(ia * X0 + ib * Y0);
                    int64_t V = ToFixed(ic * X0 + id * Y0);
                    auto* row = reinterpret_cast<typename Fmt::Pixel*>(base + ptrdiff_t(py) * destPitch);
                    for (int px = px0; px < px1; ++px, U += dU, V += dV) {
                        if (U < loU || U >= hiU || V < loV || V >= hiV) continue;
                        row[px] = Fmt::Store(rule(Fmt::Load(row[px]), sample(U, V)));
                    }
                }
            };
            if (bilinear)
                run([&](int64_t U, int64_t V) { return SampleBilinear(win, U - kHalf, V - kHalf); });
            else
                run([&](int64_t U, int64_t V) { return win.At(int(U >> 16), int(V >> 16)); });
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
            tint[k] = blend::Colorize(in.color == 0 ? 0xFFFFFFFFu : in.color, color);
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
