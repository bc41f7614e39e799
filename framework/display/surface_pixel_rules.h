#pragma once
// Per-pixel rules of the surface loops, written as the rules read: one 16- or
// 32-bit word, channels weighted in place under their masks. The scalar loops
// are these in a row; the fast loops must give the same words.
#include <cstdint>
#include "framework/display/surface_format.h"

namespace Zephra::surface::rule {

constexpr uint32_t kPacked565 = 0x07E0F81F;
constexpr uint32_t kPacked555 = 0x03E07C1F;

inline uint32_t Spread(uint32_t d) { return d | (d << 16); }
inline uint32_t Fold(uint32_t x) { return (x >> 16) | x; }

// Blit of a premultiplied native word s with alpha a = s >> 24, colour white.
inline uint32_t Alpha32(uint32_t d, uint32_t s) {
    const uint32_t inv = 256 - (s >> 24);
    return ((((d & 0xFF00) * inv) >> 8) & 0xFF00) + ((((d & 0xFF00FF) * inv) >> 8) & 0xFF00FF) + s;
}
// 565 and 555: the destination spread over a word and masked before the multiply.
inline uint16_t AlphaPacked16(uint32_t d, uint32_t s, uint32_t k) {
    const uint32_t inv = 256 - (s >> 24);
    return uint16_t(Fold((((Spread(d) & k) * (inv >> 3)) >> 5) & k) + s);
}
inline uint32_t AlphaGeneric(uint32_t d, uint32_t s, const PixelFormat& f) {
    const uint32_t inv = 256 - (s >> 24);
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) r += (((d & f.mask[c]) * inv) >> 8) & f.mask[c];
    return r + s;
}

// Coloured blits: k[c] = Div255(colour component x colour alpha).
inline uint32_t TintOpaque(uint32_t s, const PixelFormat& f, const uint32_t* k) {
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) r += (((s & f.mask[c]) * k[c]) >> 8) & f.mask[c];
    return r;
}
inline uint32_t TintBlend(uint32_t d, uint32_t s, const PixelFormat& f, const uint32_t* k, uint32_t ca) {
    const uint32_t w = Div255((s >> 24) * ca);
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c)
        r += ((((d & f.mask[c]) * (256 - w)) + (s & f.mask[c]) * k[c]) >> 8) & f.mask[c];
    return r;
}
// A grey colour on 565 and 555 (g5 = grey >> 3), packed like AlphaPacked16.
inline uint16_t GreyOpaque16(uint32_t s, uint32_t k, uint32_t g5) {
    return uint16_t(Fold((((Spread(s & 0xFFFF) & k) * g5) >> 5) & k));
}
inline uint16_t GreyBlend16(uint32_t d, uint32_t s, uint32_t k, uint32_t g5, uint32_t ca) {
    const uint32_t wd = (256 - Div255((s >> 24) * ca)) >> 3;
    return uint16_t(Fold((((Spread(s & 0xFFFF) & k) * g5 + (Spread(d) & k) * wd) >> 5) & k));
}

// Additive: each channel through the saturating table; t[c] scales the source
// field (>> 8) for a coloured blit.
inline uint32_t Add(uint32_t d, uint32_t s, const PixelFormat& f) {
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c)
        r |= uint32_t(f.add[c][((s & f.mask[c]) >> f.shift[c]) + ((d & f.mask[c]) >> f.shift[c])]) << f.shift[c];
    return r;
}
inline uint32_t AddTinted(uint32_t d, uint32_t s, const PixelFormat& f, const uint32_t* t) {
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c)
        r |= uint32_t(f.add[c][((((s & f.mask[c]) >> f.shift[c]) * t[c]) >> 8) +
                               ((d & f.mask[c]) >> f.shift[c])])
             << f.shift[c];
    return r;
}

// An ARGB pixel p straight onto the surface (volatile sources).
inline uint32_t VolatileChannels(uint32_t d, uint32_t p, const PixelFormat& f) {
    const uint32_t pa = p >> 24;
    const uint32_t comp[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c) {
        const uint32_t m = f.mask[c];
        r += ((((d & m) * (256 - pa)) + ((comp[c] * pa) >> 8) * m + (m >> 1)) >> 8) & m;
    }
    return r;
}
inline uint32_t VolatilePacked32(uint32_t d, uint32_t p) {
    const uint32_t pa = p >> 24;
    const uint32_t rb = (((((p & 0xFF00FF) - (d & 0xFF00FF)) * pa) >> 8) + (d & 0xFF00FF)) & 0xFF00FF;
    const uint32_t g = (((((p & 0xFF00) - (d & 0xFF00)) * pa) >> 8) + (d & 0xFF00)) & 0xFF00;
    return rb | g;
}

// Nearest-pixel stretch rules on a native word na.
inline uint32_t StretchWhite(uint32_t d, uint32_t na, const PixelFormat& f) {
    const uint32_t inv = 256 - (na >> 24);
    uint32_t r = na;
    for (int c = 0; c < 3; ++c) r += (((d & f.mask[c]) * inv) >> 8) & f.mask[c];
    return r;
}
inline uint32_t StretchTinted(uint32_t d, uint32_t na, const PixelFormat& f, const uint32_t* t, uint32_t a2) {
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c)
        r += (((na & f.mask[c]) * t[c] + (d & f.mask[c]) * (256 - a2)) >> 8) & f.mask[c];
    return r;
}
inline uint32_t StretchAdd(uint32_t d, uint32_t na, const PixelFormat& f) {
    uint32_t r = 0;
    for (int c = 0; c < 3; ++c)
        r |= uint32_t(f.add[c][((d & f.mask[c]) + (na & f.mask[c])) >> f.shift[c]]) << f.shift[c];
    return r;
}

} // namespace Zephra::surface::rule
