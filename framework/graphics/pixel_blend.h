#pragma once
#include <cstdint>
#include "framework/graphics/color.h"

// Per-pixel rules shared by every software rasteriser on 0xAARRGGBB pixels.
namespace Zephra::blend {

inline uint32_t Div255(uint32_t v) { return (v + 1 + (v >> 8)) >> 8; }   // exact floor(v / 255) for v < 65535

// Source tinted by a colour (its alpha included).
inline uint32_t Colorize(uint32_t src, const Color& c) {
    uint32_t a = Div255(((src >> 24) & 0xFF) * uint32_t(c.mAlpha));
    uint32_t r = Div255(((src >> 16) & 0xFF) * uint32_t(c.mRed));
    uint32_t g = Div255(((src >> 8) & 0xFF) * uint32_t(c.mGreen));
    uint32_t b = Div255((src & 0xFF) * uint32_t(c.mBlue));
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Source over destination. Into a destination that is not opaque the colour is
// weighted by both alphas and the result alpha is a + d.a * (1 - a), so label
// caches drawn into transparent images come out right.
inline uint32_t Normal(uint32_t dst, uint32_t src) {
    uint32_t a = src >> 24;
    if (a == 0) return dst;
    if (a == 255) return src;
    uint32_t da = dst >> 24;
    uint32_t ia = 255 - a;
    if (da == 255) {
        uint32_t r = Div255(((src >> 16) & 0xFF) * a + ((dst >> 16) & 0xFF) * ia);
        uint32_t g = Div255(((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * ia);
        uint32_t b = Div255((src & 0xFF) * a + (dst & 0xFF) * ia);
        return 0xFF000000u | (r << 16) | (g << 8) | b;
    }
    if (da == 0) return src;
    uint32_t dw = Div255(da * ia);          // destination weight
    uint32_t oa = a + dw;                   // 1..255
    uint32_t r = (((src >> 16) & 0xFF) * a + ((dst >> 16) & 0xFF) * dw + oa / 2) / oa;
    uint32_t g = (((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * dw + oa / 2) / oa;
    uint32_t b = ((src & 0xFF) * a + (dst & 0xFF) * dw + oa / 2) / oa;
    return (oa << 24) | (r << 16) | (g << 8) | b;
}

// Source colour scaled by its alpha, added with saturation; alpha adds too.
inline uint32_t Additive(uint32_t dst, uint32_t src) {
    uint32_t a = src >> 24;
    if (a == 0) return dst;
    uint32_t r = ((dst >> 16) & 0xFF) + Div255(((src >> 16) & 0xFF) * a);
    uint32_t g = ((dst >> 8) & 0xFF) + Div255(((src >> 8) & 0xFF) * a);
    uint32_t b = (dst & 0xFF) + Div255((src & 0xFF) * a);
    uint32_t oa = (dst >> 24) + a;
    r = r > 255 ? 255 : r;
    g = g > 255 ? 255 : g;
    b = b > 255 ? 255 : b;
    oa = oa > 255 ? 255 : oa;
    return (oa << 24) | (r << 16) | (g << 8) | b;
}

inline uint32_t Apply(uint32_t dst, uint32_t src, int drawMode) {
    return drawMode == 1 ? Additive(dst, src) : Normal(dst, src);
}

} // namespace Zephra::blend
