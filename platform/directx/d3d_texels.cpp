// Texture surfaces decoded into ARGB texels.
#include "platform/directx/d3d_texels.h"

#include <cstring>

namespace platform::d3d {

namespace {

inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
// 5- and 6-bit fields widened by repeating their top bits.
inline uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }
inline uint32_t Widen6(uint32_t v) { return (v << 2) | (v >> 4); }

} // namespace

int TexelBytes(TexelFormat format) {
    switch (format) {
    case TexelFormat::A8R8G8B8: return 4;
    case TexelFormat::A4R4G4B4:
    case TexelFormat::R5G6B5: return 2;
    case TexelFormat::PAL8: return 1;
    }
    return 4;
}

void DecodeTexels(TexelFormat format, const void* src, int pitch, int width, int height, const uint32_t* palette,
                  uint32_t* out) {
    const uint8_t* rowBytes = static_cast<const uint8_t*>(src);
    for (int y = 0; y < height; ++y, rowBytes += pitch, out += width) {
        switch (format) {
        case TexelFormat::A8R8G8B8:
            std::memcpy(out, rowBytes, size_t(width) * 4);
            break;
        case TexelFormat::A4R4G4B4:
            for (int x = 0; x < width; ++x) {
                uint16_t p;
                std::memcpy(&p, rowBytes + size_t(x) * 2, 2);
                // Each nibble into the low half of its byte, then repeated into the high half.
                uint32_t v = (uint32_t(p & 0xF000) << 12) | (uint32_t(p & 0x0F00) << 8) | (uint32_t(p & 0x00F0) << 4) |
                             (p & 0x000Fu);
                out[x] = v | (v << 4);
            }
            break;
        case TexelFormat::R5G6B5:
            for (int x = 0; x < width; ++x) {
                uint16_t p;
                std::memcpy(&p, rowBytes + size_t(x) * 2, 2);
                out[x] = Pack(255, Widen5(p >> 11), Widen6((p >> 5) & 63), Widen5(p & 31));
            }
            break;
        case TexelFormat::PAL8:
            for (int x = 0; x < width; ++x) out[x] = palette ? palette[rowBytes[x]] : 0xFF000000u;
            break;
        }
    }
}

} // namespace platform::d3d
