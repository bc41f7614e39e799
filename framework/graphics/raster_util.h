#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include "framework/graphics/color.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/pixel_blend.h"
#include "framework/graphics/rect.h"

// Small shared pieces of the software rasterisers on memory images.
namespace Zephra::raster {

// Read access to the pixels of a memory image: its 32-bit bits when present,
// else the palette through the 8-bit indices. Rows are `width` pixels apart.
struct SourcePixels {
    const uint32_t* bits = nullptr;
    const uint8_t* indices = nullptr;
    const uint32_t* palette = nullptr;
    int width = 0;
    int height = 0;

    bool IsPalettized() const { return bits == nullptr; }
    uint32_t At(int x, int y) const {
        size_t i = size_t(y) * size_t(width) + size_t(x);
        return bits ? bits[i] : palette[indices[i]];
    }
};

// Fills `out` for a source that is a MemoryImage with a size; false (draw
// nothing) for a null source, an image of another class or an empty one.
// Palettized images without bits are read through their palette, so that a
// blit does not re-expand them.
inline bool GetSourcePixels(Image* src, SourcePixels& out) {
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (mem == nullptr || mem->mWidth <= 0 || mem->mHeight <= 0) return false;
    out.width = mem->mWidth;
    out.height = mem->mHeight;
    if (!mem->mBits && mem->IsPalettized()) {
        out.bits = nullptr;
        out.indices = mem->mColorIndices.get();
        out.palette = mem->mColorTable.get();
        return true;
    }
    out.bits = mem->GetBits();
    // A surface image may hold its pixels where software cannot read them.
    if (out.bits == nullptr) return false;
    out.indices = nullptr;
    out.palette = nullptr;
    return out.bits != nullptr;
}

// Components clamped to 0..255 and packed 0xAARRGGBB.
inline uint32_t PackClamped(const Color& c) {
    auto cl = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    return (cl(c.mAlpha) << 24) | (cl(c.mRed) << 16) | (cl(c.mGreen) << 8) | cl(c.mBlue);
}

inline Color ClampColor(const Color& c) {
    return Color(std::clamp(c.mRed, 0, 255), std::clamp(c.mGreen, 0, 255), std::clamp(c.mBlue, 0, 255),
                 std::clamp(c.mAlpha, 0, 255));
}

// The drawable area of an image: (0, 0, width, height).
inline Rect Bounds(const Image& img) { return Rect(0, 0, std::max(img.mWidth, 0), std::max(img.mHeight, 0)); }

// Clips a one-to-one blit of srcRect placed with its top-left at (x, y):
// srcRect to the source's (0, 0, srcWidth, srcHeight), the destination to
// clip (intersect it with the destination's Bounds first). With `mirrored` the destination row shows the source row reversed,
// so the columns cut on one side come off the other. On true x, y and
// srcRect describe the part left to draw (non-empty).
inline bool ClipBlt(const Rect& clip, int srcWidth, int srcHeight, bool mirrored, int& x, int& y,
                    Rect& srcRect) {
    // 64-bit: positions and sizes near the int limits must not wrap.
    int64_t sx = srcRect.mX, sy = srcRect.mY, sw = srcRect.mWidth, sh = srcRect.mHeight;
    int64_t dx = x, dy = y;
    if (sw <= 0 || sh <= 0 || clip.mWidth <= 0 || clip.mHeight <= 0) return false;

    // Source bounds.
    if (sx < 0) {
        int64_t d = -sx;
        sx = 0;
        sw -= d;
        if (!mirrored) dx += d;
    }
    if (sx + sw > srcWidth) {
        int64_t d = sx + sw - srcWidth;
        sw -= d;
        if (mirrored) dx += d;
    }
    if (sy < 0) {
        dy += -sy;
        sh += sy;
        sy = 0;
    }
    if (sy + sh > srcHeight) sh = srcHeight - sy;
    if (sw <= 0 || sh <= 0) return false;

    // Destination clip.
    int64_t cx1 = clip.mX, cy1 = clip.mY;
    int64_t cx2 = cx1 + clip.mWidth, cy2 = cy1 + clip.mHeight;
    if (dx < cx1) {
        int64_t d = cx1 - dx;
        dx = cx1;
        sw -= d;
        if (!mirrored) sx += d;
    }
    if (dx + sw > cx2) {
        int64_t d = dx + sw - cx2;
        sw -= d;
        if (mirrored) sx += d;
    }
    if (dy < cy1) {
        int64_t d = cy1 - dy;
        dy = cy1;
        sh -= d;
        sy += d;
    }
    if (dy + sh > cy2) sh = cy2 - dy;
    if (sw <= 0 || sh <= 0) return false;

    x = int(dx);
    y = int(dy);
    srcRect = Rect(int(sx), int(sy), int(sw), int(sh));
    return true;
}

// Red, green and blue of an ARGB pixel in three 16-bit lanes (blue 0, red 16,
// green 32), so that one multiplication weighs all three.
inline uint64_t SpreadRGB(uint32_t p) {
    return uint64_t(p & 0x00FF00FFu) | (uint64_t(p & 0x0000FF00u) << 24);
}
inline uint32_t JoinRGB(uint64_t v) {
    return uint32_t(v & 0x00FF00FFu) | uint32_t((v >> 24) & 0x0000FF00u);
}
constexpr uint64_t kLaneLow = 0x000000FF00FF00FFull;
constexpr uint64_t kLaneOne = 0x0000000100010001ull;
// blend::Div255 in each lane (lane values below 65535).
inline uint64_t Div255Lanes(uint64_t v) { return ((v + kLaneOne + ((v >> 8) & kLaneLow)) >> 8) & kLaneLow; }

// blend::Normal for an opaque destination and a source alpha a in 1..254,
// with the source already spread and weighted: srcWeighted = SpreadRGB(src) * a.
inline uint32_t OverOpaque(uint32_t dst, uint64_t srcWeighted, uint32_t a) {
    return 0xFF000000u | JoinRGB(Div255Lanes(srcWeighted + SpreadRGB(dst) * (255 - a)));
}

// blend::Normal with the common opaque-destination case done in lanes.
inline uint32_t NormalFast(uint32_t dst, uint32_t src) {
    uint32_t a = src >> 24;
    if (a == 255) return src;
    if (a == 0) return dst;
    if ((dst >> 24) == 255) return OverOpaque(dst, SpreadRGB(src) * a, a);
    return blend::Normal(dst, src);
}

// blend::Additive in lanes: the source colour scaled by its alpha, added with
// saturation, alpha added with saturation.
inline uint32_t AdditiveFast(uint32_t dst, uint32_t src) {
    uint32_t a = src >> 24;
    if (a == 0) return dst;
    uint64_t sum = Div255Lanes(SpreadRGB(src) * a) + SpreadRGB(dst);
    sum |= ((sum >> 8) & kLaneOne) * 0xFF;   // a lane above 255 saturates
    uint32_t oa = std::min<uint32_t>((dst >> 24) + a, 255);
    return (oa << 24) | JoinRGB(sum & kLaneLow);
}

// Liang-Barsky: trims the segment to the box; false when it misses it.
inline bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double minX, double minY, double maxX,
                 double maxY) {
    double t0 = 0, t1 = 1;
    double dx = x2 - x1, dy = y2 - y1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - minX, maxX - x1, y1 - minY, maxY - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    double ox = x1, oy = y1;
    if (t1 < 1) {
        x2 = ox + t1 * dx;
        y2 = oy + t1 * dy;
    }
    if (t0 > 0) {
        x1 = ox + t0 * dx;
        y1 = oy + t0 * dy;
    }
    return true;
}

} // namespace Zephra::raster
