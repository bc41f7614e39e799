#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/graphics/color.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/native_display.h"
#include "framework/graphics/rect.h"
#include "framework/graphics/shown_pack.h"

using Zephra::MemoryImage;
using Zephra::NativeDisplay;
using Zephra::ShownPack;

namespace {

constexpr int kW = 200, kH = 9;

// A row with no stretch and one wholly shown; in the others, stretches of 1 to
// 40 pixels between gaps of 1 to 3, starting on a different column in each
// row, so that moves of every length begin on every alignment and some meet
// either edge. Colours differ in every byte so that a misplaced or truncated
// pixel shows.
bool Shown(int x, int y) {
    if (y == 2) return false;
    if (y == 4) return true;
    int c = y % 3;
    for (int k = 0; c < kW; ++k) {
        const int len = 1 + (k * 7 + y * 11) % 40;
        if (x >= c && x < c + len) return true;
        c += len + 1 + k % 3;
    }
    return false;
}

uint32_t Pixel(int x, int y) {
    return (Shown(x, y) ? 0xFF000000u : 0x00000000u) | uint32_t(x * 131 + y * 977 + 0x1234) * 2654435761u >> 8;
}

void MakeSprite(MemoryImage& img) {
    std::vector<uint32_t> px(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) px[size_t(y) * kW + size_t(x)] = Pixel(x, y);
    img.SetBits(px.data(), kW, kH);
}

// Each shown pixel of the window, one at a time.
template <typename T>
void CopyEachPixel(std::vector<T>& d, int pitch, int sx, int sy, int n, int rows) {
    for (int r = 0; r < rows; ++r)
        for (int i = 0; i < n; ++i)
            if ((Pixel(sx + i, sy + r) >> 24) != 0) d[size_t(r) * size_t(pitch) + size_t(i)] = T(Pixel(sx + i, sy + r));
}

// The plain form and the wide one (the plain where the processor lacks AVX2)
// both copy what the pixel-by-pixel copy does and nothing past the window.
template <typename T>
void ExpectPackedCopyIsEachPixel(const char* name, int sx, int sy, int n, int rows) {
    MemoryImage img;
    MakeSprite(img);
    ASSERT_TRUE(img.MakeShownRuns());
    ShownPack pack;
    const uint32_t* bits = img.GetBits();
    pack.Make<T>(img.mShownRowStart, img.mShownRuns, kW, [bits](size_t i) { return bits[i]; });
    const int pitch = n + 3;   // rows wider than the window: nothing is written past it
    const ptrdiff_t pitchBytes = ptrdiff_t(pitch) * ptrdiff_t(sizeof(T));
    std::vector<T> want(size_t(pitch) * size_t(rows + 1), T(0x5A5A5A5Au));
    CopyEachPixel(want, pitch, sx, sy, n, rows);
    for (bool wide : {false, true}) {
        std::vector<T> got(want.size(), T(0x5A5A5A5Au));
        if (wide)
            pack.Copy<T>(got.data(), pitchBytes, sx, sy, n, rows, true);
        else
            pack.CopyPlain<T>(got.data(), pitchBytes, sx, sy, n, rows);
        EXPECT_EQ(got, want) << name << ", " << sizeof(T) << "-byte pixels, " << (wide ? "wide" : "plain");
    }
}

} // namespace

TEST(ShownPack, PlainAndWideCopiesCopyTheShownPixels) {
    struct Case {
        const char* name;
        int sx, sy, n, rows;
    } cases[] = {
        {"whole image", 0, 0, kW, kH},
        {"left and top cut", 5, 3, kW - 5, kH - 3},
        {"right and bottom cut", 0, 0, kW - 4, kH - 2},
        {"one column", 17, 0, 1, kH},
        {"inside one row", 3, 4, 9, 1},
        {"the row with nothing shown", 0, 2, kW, 1},
        {"cut inside stretches", 57, 0, 101, kH},
        {"no rows", 0, 0, kW, 0},
    };
    for (const Case& c : cases) {
        ExpectPackedCopyIsEachPixel<uint32_t>(c.name, c.sx, c.sy, c.n, c.rows);
        ExpectPackedCopyIsEachPixel<uint16_t>(c.name, c.sx, c.sy, c.n, c.rows);
    }
}

// The packs follow the pixels: made again after a change, in the display's
// word size, and none for a palettized image.
TEST(ShownPack, FollowsBitsFormatAndPalette) {
    MemoryImage img;
    MakeSprite(img);
    NativeDisplay d32, d16;
    d32.SetFormat(32, 0xFF0000, 0xFF00, 0xFF);
    d16.SetFormat(16, 0xF800, 0x07E0, 0x001F);
    std::vector<uint32_t> out(size_t(kW) * kH);

    ASSERT_NE(img.GetShownPack(), nullptr);
    img.FillRect(Zephra::Rect(0, 0, kW, kH), Zephra::Color(1, 2, 3), 0);
    img.GetShownPack()->Copy<uint32_t>(out.data(), kW * 4, 0, 0, kW, kH, true);
    EXPECT_EQ(out[size_t(4) * kW + 5], 0xFF010203u);   // the filled pixels, not the old ones

    ASSERT_NE(img.GetShownNativePack(&d32), nullptr);
    EXPECT_EQ(img.GetShownNativePack(&d32)->PixelBytes(), 4);
    ASSERT_NE(img.GetShownNativePack(&d16), nullptr);
    EXPECT_EQ(img.GetShownNativePack(&d16)->PixelBytes(), 2);

    ASSERT_TRUE(img.Palletize());
    EXPECT_EQ(img.GetShownPack(), nullptr);
    EXPECT_EQ(img.GetShownNativePack(&d32), nullptr);
}
