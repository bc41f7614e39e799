#include <gtest/gtest.h>

#include <random>
#include <vector>
#include "framework/display/surface_pixels.h"
#include "platform/directx/dx_config.h"

using namespace Zephra;
using namespace platform;

namespace {

TEST(SurfacePixels, FastRowsEqualThePlainConversionBitForBit) {
    std::mt19937 random(7);
    const PixelLayout layouts[] = {PixelLayout::RGB565, PixelLayout::BGR565, PixelLayout::RGB555,
                                   PixelLayout::BGR555, PixelLayout::XRGB8888, PixelLayout::XBGR8888};
    // Odd widths reach the tails of the eight-pixel steps; every channel value appears.
    for (int width : {1, 7, 8, 9, 31, 256}) {
        const int height = 3, stride = width + 5;
        std::vector<uint32_t> src(static_cast<size_t>(stride) * height);
        for (size_t i = 0; i < src.size(); ++i) src[i] = i < 256 ? static_cast<uint32_t>(i * 0x01010101u) : random();
        for (PixelLayout layout : layouts) {
            const DDPIXELFORMAT f = PixelFormatOf(layout);
            const int pitch = ((width * BytesPerPixel(f) + 3) & ~3) + 8;
            std::vector<uint8_t> fast(static_cast<size_t>(pitch) * height, 0xAB), plain(fast);
            ConvertToSurface(src.data(), stride, width, height, fast.data(), pitch, f);
            ConvertToSurfaceReference(src.data(), stride, width, height, plain.data(), pitch, f);
            EXPECT_EQ(fast, plain) << "layout " << static_cast<int>(layout) << " width " << width;
        }
    }
}

TEST(SurfacePixels, ChannelsTakeTheTopBitsAndWidenBack) {
    struct Case {
        PixelLayout layout;
        uint32_t argb, value, back;
    };
    const Case cases[] = {
        {PixelLayout::RGB565, 0xFFFFFFFF, 0xFFFF, 0xFFFFFFFF},
        {PixelLayout::RGB565, 0x80FF8000, 0xFC00, 0xFFFF8200},
        {PixelLayout::BGR565, 0x00FF0000, 0x001F, 0xFFFF0000},
        {PixelLayout::RGB555, 0x00808080, 0x4210, 0xFF848484},
        {PixelLayout::XBGR8888, 0x12345678, 0x785634, 0xFF345678},
    };
    for (const Case& c : cases) {
        const SurfaceChannels ch(PixelFormatOf(c.layout));
        EXPECT_EQ(ch.FromARGB(c.argb), c.value) << std::hex << c.argb;
        EXPECT_EQ(ch.ToARGB(c.value), c.back) << std::hex << c.value;
    }
}

} // namespace
