#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/display/texture_pixels.h"
#include "framework/graphics/memory_image.h"

namespace {

using namespace Zephra;

TEST(TexturePixels, PixelConversions) {
    struct Case { const char* name; uint32_t got, want; };
    const Case cases[] = {
        {"to 4444", ToA4R4G4B4(0x80FF8040), 0x8F84},
        {"to 565", ToR5G6B5(0x80FF8040), 0xFC08},
        {"from 4444", FromA4R4G4B4(0x1234), 0xFF203040},
        {"from 4444 keeps no alpha", FromA4R4G4B4(0x0FFF), 0xFFF0F0F0},
        {"from 565", FromR5G6B5(0xFFFF), 0xFFF8FCF8},
    };
    for (const Case& k : cases) EXPECT_EQ(k.got, k.want) << k.name << std::hex << " got " << k.got;
}

// Image pixels: x in the low byte, y in the next, alpha 0x80.
void FillImage(MemoryImage& img, int w, int h, bool palettized) {
    if (palettized) {
        img.mWidth = w;
        img.mHeight = h;
        img.mColorTable.reset(new uint32_t[256]);
        img.mColorIndices.reset(new uint8_t[size_t(w) * h]);
        for (int i = 0; i < 256; ++i) img.mColorTable[i] = 0x80000000u | uint32_t(i) * 0x010101u;
        for (int i = 0; i < w * h; ++i) img.mColorIndices[i] = uint8_t((i % w) + 16 * (i / w));
        return;
    }
    img.Create(w, h);
    uint32_t* bits = img.GetBits();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bits[y * w + x] = 0x80000000u | uint32_t(y) << 8 | uint32_t(x);
}

// A piece gets the covered texels, one repeated column and row where the image
// ends inside it, and nothing else: neither the rest of the piece nor the
// padding of its rows is written.
TEST(TexturePixels, UploadRepeatsEdgesInsideThePieceOnly) {
    struct Case { const char* name; int format; bool palettized; int imgW, imgH, srcX, srcY; };
    const Case cases[] = {
        {"partial 32", TEXFMT_A8R8G8B8, false, 5, 3, 0, 0},
        {"full 32", TEXFMT_A8R8G8B8, false, 8, 4, 0, 0},
        {"offset 4444", TEXFMT_A4R4G4B4, false, 12, 6, 8, 4},
        {"wide 565", TEXFMT_R5G6B5, false, 20, 3, 8, 0},
        {"palette", TEXFMT_PAL8, true, 6, 2, 0, 0},
        {"palette colours", TEXFMT_A8R8G8B8, true, 3, 9, 0, 4},
    };
    const int texW = 8, texH = 4;
    const uint8_t canary = 0xA5;
    for (const Case& k : cases) {
        MemoryImage img;
        FillImage(img, k.imgW, k.imgH, k.palettized);
        const int bpp = TextureFormatBytes(k.format);
        const int pitch = texW * bpp + 4;
        std::vector<uint8_t> tex(size_t(pitch) * texH, canary);
        ASSERT_TRUE(UploadTexturePiece(k.format, tex.data(), pitch, texW, texH, img, k.srcX, k.srcY)) << k.name;
        const int w = std::min(texW, k.imgW - k.srcX), h = std::min(texH, k.imgH - k.srcY);
        auto source = [&](int x, int y) -> uint32_t {
            size_t i = size_t(k.srcY + y) * k.imgW + size_t(k.srcX + x);
            if (k.format == TEXFMT_PAL8) return img.mColorIndices[i];
            uint32_t p = k.palettized ? img.mColorTable[img.mColorIndices[i]] : img.GetBits()[i];
            return k.format == TEXFMT_A4R4G4B4 ? ToA4R4G4B4(p) : k.format == TEXFMT_R5G6B5 ? ToR5G6B5(p) : p;
        };
        for (int y = 0; y < texH; ++y)
            for (int b = 0; b < pitch; ++b) {
                int x = b / bpp;
                // Which image texel this byte should hold, if any.
                int sx = x < w ? x : (x == w && w < texW ? w - 1 : -1);
                int sy = y < h ? y : (y == h && h < texH ? h - 1 : -1);
                uint8_t got = tex[size_t(y) * pitch + b];
                if (sx < 0 || sy < 0 || x >= texW) {
                    EXPECT_EQ(got, canary) << k.name << " wrote texel " << x << "," << y;
                } else {
                    uint32_t want = source(sx, sy);
                    EXPECT_EQ(got, uint8_t(want >> (8 * (b % bpp)))) << k.name << " texel " << x << "," << y;
                }
            }
    }
}

TEST(TexturePixels, ReadBackFillsTheCoveredPart) {
    struct Case { const char* name; int format; uint16_t texel; uint32_t want; };
    const uint32_t palette[256] = {0, 0, 0x7F102030};
    const Case cases[] = {
        {"32-bit", TEXFMT_A8R8G8B8, 0x8040, 0x00008040},
        {"4444 comes back opaque", TEXFMT_A4R4G4B4, 0x1234, 0xFF203040},
        {"565", TEXFMT_R5G6B5, 0xFFFF, 0xFFF8FCF8},
        {"palette", TEXFMT_PAL8, 2, 0x7F102030},
    };
    for (const Case& k : cases) {
        const int bpp = TextureFormatBytes(k.format), texW = 4, texH = 4, pitch = texW * bpp;
        std::vector<uint8_t> tex(size_t(pitch) * texH);
        for (int i = 0; i < texW * texH; ++i) std::memcpy(&tex[size_t(i) * bpp], &k.texel, size_t(std::min(bpp, 2)));
        // A 6x5 image whose second piece column starts at x = 4: 2 x 4 covered.
        std::vector<uint32_t> dest(6 * 5, 0xDEADBEEF);
        ReadTexturePiece(k.format, tex.data(), pitch, texW, texH, palette, dest.data(), 6, 5, 4, 0);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                uint32_t want = (x >= 4 && y < 4) ? k.want : 0xDEADBEEF;
                EXPECT_EQ(dest[size_t(y) * 6 + x], want) << k.name << " at " << x << "," << y;
            }
    }
}

} // namespace
