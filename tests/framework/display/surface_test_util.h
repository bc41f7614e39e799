#pragma once
#include <cstdint>
#include <vector>
#include "framework/display/surface_kernels.h"
#include "framework/graphics/memory_image.h"

namespace surface_test {


using Zephra::surface::PixelFormat;
using Zephra::surface::SurfaceView;

inline PixelFormat F565() { return Zephra::surface::MakePixelFormat(16, 0xF800, 0x07E0, 0x001F); }
inline PixelFormat F555() { return Zephra::surface::MakePixelFormat(16, 0x7C00, 0x03E0, 0x001F); }
inline PixelFormat F888() { return Zephra::surface::MakePixelFormat(32, 0xFF0000, 0xFF00, 0xFF); }

// Surface memory with a padded pitch.
struct Surface {
    PixelFormat f;
    std::vector<uint8_t> mem;
    SurfaceView view;
    Surface(const PixelFormat& fmt, int w, int h) : f(fmt) {
        view.width = w;
        view.height = h;
        view.pitch = w * (f.bitCount / 8) + 12;
        mem.assign(size_t(view.pitch) * size_t(h), 0);
        view.bits = mem.data();
    }
    uint32_t Get(int x, int y) const {
        return f.bitCount == 16 ? view.Row<uint16_t>(y)[x] : view.Row<uint32_t>(y)[x];
    }
    void Set(int x, int y, uint32_t v) {
        if (f.bitCount == 16)
            view.Row<uint16_t>(y)[x] = uint16_t(v);
        else
            view.Row<uint32_t>(y)[x] = v;
    }
    void Fill(uint32_t v) {
        for (int y = 0; y < view.height; ++y)
            for (int x = 0; x < view.width; ++x) Set(x, y, v);
    }
    // Per row y, the columns run through every value of every channel.
    void Pattern(uint32_t seed) {
        for (int y = 0; y < view.height; ++y)
            for (int x = 0; x < view.width; ++x) {
                const uint32_t ch[3] = {uint32_t(x + y + seed), uint32_t(x * 5 + y), uint32_t(x * 3 + y * 7 + seed)};
                uint32_t v = f.bitCount == 32 ? uint32_t(y * 13) << 24 : 0;
                for (int c = 0; c < 3; ++c) v |= (ch[c] & ((1u << f.bits[c]) - 1)) << f.shift[c];
                Set(x, y, v);
            }
    }
};

// A native source of an image for a surface format (with its 16-bit words
// for a normal blit on a 16-bit format).
inline Zephra::surface::NativeSource NativeOf(Zephra::MemoryImage& img, const PixelFormat& f, bool additive) {
    Zephra::NativeDisplay nd;
    nd.SetFormat(f.bitCount, f.mask[0], f.mask[1], f.mask[2]);
    return additive ? Zephra::surface::NativeOf(img, &nd, true) : Zephra::surface::CopyNativeOf(img, &nd);
}

} // namespace surface_test
