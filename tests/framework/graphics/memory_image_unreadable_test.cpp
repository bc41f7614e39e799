#include <gtest/gtest.h>

#include "framework/graphics/memory_image.h"
#include "framework/graphics/native_display.h"

using namespace Zephra;

namespace {

// An image whose pixels software cannot reach (as a surface image in video
// memory): GetBits gives none.
class Unreadable : public MemoryImage {
public:
    Unreadable() { mWidth = mHeight = 8; }
    uint32_t* GetBits() override { return nullptr; }
};

TEST(MemoryImageWithoutBits, EveryDrawingAndDerivedBufferDoesNothing) {
    Unreadable dest;
    MemoryImage src(nullptr);
    src.Create(4, 4);
    src.GetBits()[0] = 0xFFFFFFFF;
    NativeDisplay display;
    display.SetFormat(16, 0xF800, 0x07E0, 0x001F);
    const Rect all(0, 0, 8, 8);
    const Color white(255, 255, 255);
    const Point tri[3] = {{0, 0}, {7, 0}, {0, 7}};
    Span span;
    span.mWidth = 4;
    dest.FillRect(all, white, DRAWMODE_NORMAL);
    dest.ClearRect(all);
    dest.DrawLine(0, 0, 7, 7, white, DRAWMODE_NORMAL);
    dest.DrawLineAA(0, 0, 7, 7, white, DRAWMODE_NORMAL);
    EXPECT_FALSE(dest.FillPolygon(tri, 3, all, white, DRAWMODE_NORMAL));
    dest.FillSpansCoverage(&span, 1, white, DRAWMODE_NORMAL, nullptr, 0, 0, 0, 0);
    dest.Blt(&src, 0, 0, Rect(0, 0, 4, 4), white, DRAWMODE_NORMAL);
    dest.BltRotated(&src, 1, 1, Rect(0, 0, 4, 4), all, white, DRAWMODE_NORMAL, 0.5, 2, 2);
    dest.StretchBlt(&src, all, Rect(0, 0, 4, 4), all, white, DRAWMODE_NORMAL, true);
    dest.StretchBlt(&src, all, Rect(0, 0, 4, 4), all, white, DRAWMODE_NORMAL, false);
    dest.BltMirror(&src, 0, 0, Rect(0, 0, 4, 4), white, DRAWMODE_ADDITIVE);
    // As a source it gives nothing either.
    src.Blt(&dest, 0, 0, Rect(0, 0, 4, 4), white, DRAWMODE_NORMAL);
    EXPECT_EQ(src.GetBits()[0], 0xFFFFFFFFu);
    EXPECT_EQ(dest.GetNativeAlphaData(&display), nullptr);
    EXPECT_EQ(dest.GetRLAlphaData(), nullptr);
    EXPECT_EQ(dest.GetRLAdditiveData(&display), nullptr);
    EXPECT_FALSE(dest.Palletize());
    dest.AnalyzeAlpha();
}

TEST(MemoryImageNativeData, IsMadeAgainForAnotherScreenFormat) {
    MemoryImage img(nullptr);
    img.Create(2, 1);
    img.GetBits()[0] = 0xFFFFFFFF;
    img.GetBits()[1] = 0x00000000;
    struct Case {
        int bits;
        uint32_t r, g, b, white;
    };
    const Case cases[] = {{16, 0xF800, 0x07E0, 0x001F, 0xFF00FFFF},
                          {16, 0x7C00, 0x03E0, 0x001F, 0xFF007FFF},
                          {32, 0xFF0000, 0xFF00, 0xFF, 0xFFFFFFFF},
                          {16, 0xF800, 0x07E0, 0x001F, 0xFF00FFFF}};
    for (const Case& c : cases) {
        NativeDisplay d;
        d.SetFormat(c.bits, c.r, c.g, c.b);
        const uint32_t* nat = img.GetNativeAlphaData(&d);
        ASSERT_NE(nat, nullptr);
        EXPECT_EQ(nat[0], c.white) << std::hex << c.r;
        EXPECT_EQ(img.GetRLAdditiveData(&d)[0], 1) << "runs follow the new native data";
    }
}

} // namespace
