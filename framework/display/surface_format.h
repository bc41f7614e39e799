#pragma once
#include <cstddef>
#include <cstdint>
#include "framework/graphics/color.h"

// Raw 16- and 32-bit surface memory and the channel layout the software
// drawing routines work with.
namespace Zephra::surface {

// Format tags handed to the matrix and triangle blitters.
enum FormatTag : int { kTagNone = 0, kTag888 = 0x888, kTag565 = 0x565, kTag555 = 0x555 };

// One channel's saturating add table holds 2 * max + 1 entries; 8-bit channels
// need the most.
constexpr int kAddTableSize = 2 * 255 + 1;

// The locked surface's layout with the display's channel tables.
struct PixelFormat {
    int bitCount = 0;                   // 16 or 32 are drawn; anything else is left alone
    uint32_t mask[3] = {};              // red, green, blue
    int bits[3] = {};
    int shift[3] = {};
    int32_t add[3][kAddTableSize] = {}; // entry i = min(i, 2^bits - 1)
    bool rgbOrder = false;              // red mask above green above blue: the packed loops apply
    int tag = kTagNone;                 // only for the exact masks

    bool Drawable() const { return bitCount == 16 || bitCount == 32; }
    uint32_t ColourMask() const { return mask[0] | mask[1] | mask[2]; }
    // 32-bit with each channel one whole byte, in either order.
    bool ByteChannels() const {
        if (bitCount != 32) return false;
        for (int c = 0; c < 3; ++c)
            if (bits[c] != 8 || shift[c] % 8 != 0 || shift[c] > 16 || mask[c] != (0xFFu << shift[c])) return false;
        return shift[0] != shift[1] && shift[1] != shift[2] && shift[0] != shift[2];
    }
    bool Is565() const { return tag == kTag565; }
    bool Is555() const { return tag == kTag555; }
};

// Masks in, counts, shifts, tables, order and tag out.
PixelFormat MakePixelFormat(int bitCount, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

// Locked surface memory; rows are the pitch rounded down to whole pixels apart.
struct SurfaceView {
    uint8_t* bits = nullptr;
    int pitch = 0;      // bytes
    int width = 0;
    int height = 0;

    template <typename T>
    T* Row(int y) const {
        return reinterpret_cast<T*>(bits) + size_t(y) * size_t(pitch / int(sizeof(T)));
    }
};

// An 8-bit-scaled value v (0..256) placed into a channel field.
inline uint32_t Scale(uint32_t v, uint32_t m) { return ((v * m) >> 8) & m; }
inline uint32_t Div255(uint32_t v) { return v / 255; }
inline uint32_t Clamp8(int v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// ARGB to a surface value (alpha dropped) and back (alpha 0xFF, low bits zero).
uint32_t ToSurface(uint32_t argb, const PixelFormat& f);
uint32_t FromSurface(uint32_t v, const PixelFormat& f);

// Writes width x height ARGB pixels (rows `width` apart) into the surface.
// With a key, pixels below alpha 255 become the key. First-pixel keying
// converts every pixel.
void WritePixels(const SurfaceView& view, const PixelFormat& f, const uint32_t* argb, bool useKey,
                 uint32_t key);
// Reads the surface back into width x height ARGB pixels. Pixels equal to a
// colour key (under the colour masks) read back transparent, 0x00000000.
void ReadPixels(const SurfaceView& view, const PixelFormat& f, uint32_t* argb, bool hasKey = false,
                uint32_t key = 0);

// The colour key of a picture with transparent pixels: the first non-opaque
// pixel's surface value (its ARGB value on 32-bit surfaces), or, when an opaque
// pixel shares it, the lowest value no visible pixel uses. False when every
// value is taken.
bool ChooseColourKey(const PixelFormat& f, const uint32_t* argb, int count, uint32_t& key);

} // namespace Zephra::surface
