#include "framework/display/surface_pixels.h"

#include <algorithm>
#include <cstring>
#include <emmintrin.h>

namespace Zephra {

using platform::DDPIXELFORMAT;

namespace {

void Channel(uint32_t mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    if (mask == 0) return;
    while (!((mask >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
}

uint32_t Widen(uint32_t value, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return (value >> (bits - 8)) & 0xFF;
    uint32_t out = value << (8 - bits);
    for (int have = bits; have < 8; have += bits) out |= out >> bits;
    return out & 0xFF;
}

bool Is565(const DDPIXELFORMAT& f) {
    return f.dwRGBBitCount == 16 && f.dwRBitMask == 0xF800 && f.dwGBitMask == 0x07E0 && f.dwBBitMask == 0x001F;
}

bool IsXRGB(const DDPIXELFORMAT& f) {
    return f.dwRGBBitCount == 32 && f.dwRBitMask == 0xFF0000 && f.dwGBitMask == 0xFF00 && f.dwBBitMask == 0xFF;
}

bool Is555(const DDPIXELFORMAT& f) {
    return f.dwRGBBitCount == 16 && f.dwRBitMask == 0x7C00 && f.dwGBitMask == 0x03E0 && f.dwBBitMask == 0x001F;
}

// 16-bit rows in RGB order, eight pixels a step: the top bits of each
// channel shifted into place (red by RS, green by GS, blue by 3).
template <int RS, uint32_t RM, int GS, uint32_t GM>
void Row16(const uint32_t* src, uint16_t* dest, int width) {
    int x = 0;
    const __m128i maskR = _mm_set1_epi32(static_cast<int>(RM));
    const __m128i maskG = _mm_set1_epi32(static_cast<int>(GM));
    const __m128i maskB = _mm_set1_epi32(0x001F);
    for (; x + 8 <= width; x += 8) {
        __m128i out[2];
        for (int h = 0; h < 2; ++h) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x + h * 4));
            const __m128i r = _mm_and_si128(_mm_srli_epi32(p, RS), maskR);
            const __m128i g = _mm_and_si128(_mm_srli_epi32(p, GS), maskG);
            const __m128i b = _mm_and_si128(_mm_srli_epi32(p, 3), maskB);
            // Sign-extend the 16-bit values so that the signed pack keeps them.
            const __m128i v = _mm_or_si128(_mm_or_si128(r, g), b);
            out[h] = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + x), _mm_packs_epi32(out[0], out[1]));
    }
    for (; x < width; ++x) {
        const uint32_t p = src[x];
        dest[x] = static_cast<uint16_t>(((p >> RS) & RM) | ((p >> GS) & GM) | ((p >> 3) & 0x001F));
    }
}

template <typename RowFn>
void Rows16(const uint32_t* src, int srcStride, int width, int height, uint8_t* dest, int destPitch, RowFn row) {
    for (int y = 0; y < height; ++y)
        row(src + static_cast<size_t>(y) * srcStride, reinterpret_cast<uint16_t*>(dest + static_cast<size_t>(y) * destPitch),
            width);
}

} // namespace

SurfaceChannels::SurfaceChannels(const DDPIXELFORMAT& f)
    : redMask(f.dwRBitMask), greenMask(f.dwGBitMask), blueMask(f.dwBBitMask) {
    Channel(redMask, redShift, redBits);
    Channel(greenMask, greenShift, greenBits);
    Channel(blueMask, blueShift, blueBits);
}

uint32_t SurfaceChannels::FromARGB(uint32_t p) const {
    const uint32_t b = ((p >> (8 - blueBits)) << blueShift) & blueMask;
    const uint32_t g = ((p >> (16 - greenBits)) << greenShift) & greenMask;
    const uint32_t r = ((p >> (24 - redBits)) << redShift) & redMask;
    return r | g | b;
}

uint32_t SurfaceChannels::ToARGB(uint32_t v) const {
    const uint32_t r = Widen((v & redMask) >> redShift, redBits);
    const uint32_t g = Widen((v & greenMask) >> greenShift, greenBits);
    const uint32_t b = Widen((v & blueMask) >> blueShift, blueBits);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

void ConvertToSurfaceReference(const uint32_t* src, int srcStride, int width, int height, uint8_t* dest,
                               int destPitch, const DDPIXELFORMAT& format) {
    const SurfaceChannels c(format);
    for (int y = 0; y < height; ++y) {
        const uint32_t* s = src + static_cast<size_t>(y) * srcStride;
        uint8_t* d = dest + static_cast<size_t>(y) * destPitch;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = c.FromARGB(s[x]);
            if (format.dwRGBBitCount == 16) {
                const uint16_t w = static_cast<uint16_t>(v);
                std::memcpy(d + x * 2, &w, 2);
            } else if (format.dwRGBBitCount == 32) {
                std::memcpy(d + x * 4, &v, 4);
            }
        }
    }
}

void ConvertToSurface(const uint32_t* src, int srcStride, int width, int height, uint8_t* dest, int destPitch,
                      const DDPIXELFORMAT& format) {
    if (width <= 0 || height <= 0) return;
    if (IsXRGB(format)) {
        // The surface keeps whatever the top byte held; the rule drops alpha.
        for (int y = 0; y < height; ++y) {
            const uint32_t* s = src + static_cast<size_t>(y) * srcStride;
            uint32_t* d = reinterpret_cast<uint32_t*>(dest + static_cast<size_t>(y) * destPitch);
            for (int x = 0; x < width; ++x) d[x] = s[x] & 0x00FFFFFFu;
        }
        return;
    }
    if (Is565(format)) {
        Rows16(src, srcStride, width, height, dest, destPitch, Row16<8, 0xF800, 5, 0x07E0>);
        return;
    }
    if (Is555(format)) {
        Rows16(src, srcStride, width, height, dest, destPitch, Row16<9, 0x7C00, 6, 0x03E0>);
        return;
    }
    ConvertToSurfaceReference(src, srcStride, width, height, dest, destPitch, format);
}

void BlendOntoSurface(const uint32_t* src, int width, int height, int x, int y, uint8_t* dest, int surfaceWidth,
                      int surfaceHeight, int destPitch, const DDPIXELFORMAT& format) {
    if (format.dwRGBBitCount != 16 && format.dwRGBBitCount != 32) return;
    const SurfaceChannels c(format);
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + width, surfaceWidth), y1 = std::min(y + height, surfaceHeight);
    const int bpp = static_cast<int>(format.dwRGBBitCount / 8);
    for (int py = y0; py < y1; ++py) {
        const uint32_t* s = src + static_cast<size_t>(py - y) * width;
        uint8_t* row = dest + static_cast<size_t>(py) * destPitch;
        for (int px = x0; px < x1; ++px) {
            const uint32_t p = s[px - x];
            const uint32_t a = p >> 24;
            if (a == 0) continue;
            uint32_t d = 0;
            std::memcpy(&d, row + px * bpp, static_cast<size_t>(bpp));
            uint32_t out = p;
            if (a != 255) {
                const uint32_t q = c.ToARGB(d);
                out = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    const uint32_t sc = (p >> shift) & 0xFF, dc = (q >> shift) & 0xFF;
                    out |= ((sc * a + dc * (255 - a)) / 255) << shift;
                }
            }
            const uint32_t v = c.FromARGB(out);
            std::memcpy(row + px * bpp, &v, static_cast<size_t>(bpp));
        }
    }
}

} // namespace Zephra
