#include <gtest/gtest.h>

#include <vector>

#include "framework/graphics/image.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/native_display.h"

using Zephra::Color;
using Zephra::Image;
using Zephra::ImageHost;
using Zephra::MemoryImage;
using Zephra::NativeDisplay;
using Zephra::Rect;
using Zephra::Span;

namespace {

class FakeHost : public ImageHost {
public:
    std::vector<MemoryImage*> added, removed, released;
    std::vector<uint32_t> texture;   // what ReadTextureBits hands back, when set
    void AddMemoryImage(MemoryImage* image) override { added.push_back(image); }
    void RemoveMemoryImage(MemoryImage* image) override { removed.push_back(image); }
    void ReleaseImageTextures(MemoryImage* image) override { released.push_back(image); }
    bool ReadTextureBits(MemoryImage*, uint32_t* dest) override {
        if (texture.empty()) return false;
        std::copy(texture.begin(), texture.end(), dest);
        return true;
    }
};

void SetPixels(MemoryImage& img, int w, int h, const std::vector<uint32_t>& px) {
    img.SetBits(px.data(), w, h);
}

NativeDisplay Display(uint32_t r, uint32_t g, uint32_t b, int bpp) {
    NativeDisplay d;
    d.SetFormat(bpp, r, g, b);
    return d;
}

} // namespace

TEST(MemoryImageBuffers, DisplayFormatFromMasks) {
    NativeDisplay d = Display(0xF800, 0x07E0, 0x001F, 16);
    EXPECT_EQ(d.mRGBBits, 16);
    EXPECT_EQ(d.mRedBits, 5);
    EXPECT_EQ(d.mGreenBits, 6);
    EXPECT_EQ(d.mBlueBits, 5);
    EXPECT_EQ(d.mRedShift, 11);
    EXPECT_EQ(d.mGreenShift, 5);
    EXPECT_EQ(d.mBlueShift, 0);
    NativeDisplay bgr = Display(0x000000FF, 0x0000FF00, 0x00FF0000, 32);
    EXPECT_EQ(bgr.mRedShift, 0);
    EXPECT_EQ(bgr.mBlueShift, 16);
    EXPECT_EQ(bgr.mBlueBits, 8);
}

TEST(MemoryImageBuffers, RegistersWithHostAndUnregistersOnDestruction) {
    FakeHost host;
    MemoryImage* seen = nullptr;
    {
        MemoryImage img(&host);
        seen = &img;
        ASSERT_EQ(host.added.size(), 1u);
        EXPECT_EQ(host.added[0], seen);
        int record = 0;
        img.mD3DData = &record;
    }
    ASSERT_EQ(host.removed.size(), 1u);
    EXPECT_EQ(host.removed[0], seen);
    ASSERT_EQ(host.released.size(), 1u);
    MemoryImage orphan;   // no host: nothing to tell
}

TEST(MemoryImageBuffers, CreateMakesZeroBitsWithGuardWord) {
    MemoryImage img;
    int before = img.mBitsChangedCount;
    img.Create(3, 2);
    EXPECT_GT(img.mBitsChangedCount, before);
    EXPECT_TRUE(img.mBitsChanged);
    EXPECT_TRUE(img.mHasTrans);
    EXPECT_TRUE(img.mHasAlpha);
    EXPECT_EQ(img.mBits, nullptr);   // made on first use
    uint32_t* bits = img.GetBits();
    ASSERT_NE(bits, nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(bits[i], 0u);
    EXPECT_EQ(bits[6], Zephra::kBitsGuardWord);
    EXPECT_EQ(img.GetBits(), bits);   // kept

    img.FillRect(Rect(0, 0, 3, 2), Color(1, 2, 3), 0);
    EXPECT_EQ(img.GetBits()[6], Zephra::kBitsGuardWord);

    // Setting an image's bits from its own buffer keeps them.
    img.SetBits(img.GetBits(), 3, 2);
    EXPECT_EQ(img.GetBits()[0], 0xFF010203u);
    EXPECT_EQ(img.GetBits()[6], Zephra::kBitsGuardWord);

    // A new picture frees the texture of the old one.
    FakeHost host;
    MemoryImage tex(&host);
    int record = 0;
    tex.mD3DData = &record;
    tex.Create(2, 2);
    EXPECT_EQ(host.released.size(), 1u);
    EXPECT_EQ(tex.mD3DData, nullptr);

    img.Create(-4, 5);   // nonsense sizes make an empty image, not a crash
    EXPECT_EQ(img.mWidth, 0);
    EXPECT_NE(img.GetBits(), nullptr);
}

TEST(MemoryImageBuffers, ChangeCountsAndDropsDerivedBuffers) {
    MemoryImage img;
    SetPixels(img, 2, 1, {0xFF102030, 0x80405060});
    NativeDisplay d = Display(0xFF0000, 0xFF00, 0xFF, 32);
    ASSERT_NE(img.GetNativeAlphaData(&d), nullptr);
    ASSERT_NE(img.GetRLAlphaData(), nullptr);
    ASSERT_NE(img.GetRLAdditiveData(&d), nullptr);
    uint32_t* nat = img.GetNativeAlphaData(&d);
    EXPECT_EQ(img.GetNativeAlphaData(&d), nat);   // kept until the bits change

    int count = img.mBitsChangedCount;
    img.mBitsChanged = false;
    img.FillRect(Rect(0, 0, 1, 1), Color(255, 255, 255), 0);
    EXPECT_EQ(img.mBitsChangedCount, count + 1);
    EXPECT_TRUE(img.mBitsChanged);
    EXPECT_EQ(img.mNativeAlphaData, nullptr);
    EXPECT_EQ(img.mRLAlphaData, nullptr);
    EXPECT_EQ(img.mRLAdditiveData, nullptr);

    EXPECT_EQ(img.GetNativeAlphaData(nullptr), nullptr);   // no display, no conversion

    // A long session passes INT_MAX changes: the count wraps instead of overflowing.
    img.mBitsChangedCount = INT32_MAX;
    img.BitsChanged();
    EXPECT_EQ(img.mBitsChangedCount, INT32_MIN);
}

TEST(MemoryImageBuffers, PalletizeUpTo256Colours) {
    std::vector<uint32_t> px(300);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint32_t(i % 256) * 0x01010101u;   // 256 colours
    MemoryImage img;
    SetPixels(img, 20, 15, px);
    ASSERT_TRUE(img.Palletize());
    EXPECT_TRUE(img.IsPalettized());
    EXPECT_EQ(img.mBits, nullptr);   // the palette is the compact copy
    uint32_t* bits = img.GetBits();
    for (size_t i = 0; i < px.size(); ++i) ASSERT_EQ(bits[i], px[i]) << i;
    EXPECT_EQ(bits[300], Zephra::kBitsGuardWord);

    // A change through the bits makes the old palette stale: it goes.
    img.FillRect(Rect(0, 0, 1, 1), Color(9, 9, 9), 0);
    EXPECT_FALSE(img.IsPalettized());
    EXPECT_EQ(img.GetBits()[0], 0xFF090909u);

    std::vector<uint32_t> many(257);
    for (size_t i = 0; i < many.size(); ++i) many[i] = 0xFF000000u | uint32_t(i);
    MemoryImage big;
    SetPixels(big, 257, 1, many);
    EXPECT_FALSE(big.Palletize());
    EXPECT_FALSE(big.IsPalettized());
    ASSERT_NE(big.mBits, nullptr);
    for (size_t i = 0; i < many.size(); ++i) ASSERT_EQ(big.mBits[i], many[i]);
}

TEST(MemoryImageBuffers, AnalyzeAlphaAndForcedFlags) {
    MemoryImage img;
    SetPixels(img, 3, 1, {0xFF000000, 0xFFFFFFFF, 0xFF123456});
    img.AnalyzeAlpha();
    EXPECT_FALSE(img.mHasTrans);
    EXPECT_FALSE(img.mHasAlpha);
    EXPECT_FALSE(img.mBitsChanged);

    img.GetBits()[1] = 0x00FFFFFF;
    img.BitsChanged();
    img.AnalyzeAlpha();
    EXPECT_TRUE(img.mHasTrans);
    EXPECT_FALSE(img.mHasAlpha);

    img.GetBits()[2] = 0x01123456;
    img.BitsChanged();
    img.AnalyzeAlpha();
    EXPECT_TRUE(img.mHasTrans);
    EXPECT_TRUE(img.mHasAlpha);

    // Palettized without bits: read from the palette entries in use.
    ASSERT_TRUE(img.Palletize());
    img.mBitsChanged = true;
    img.AnalyzeAlpha();
    EXPECT_TRUE(img.mHasTrans);
    EXPECT_TRUE(img.mHasAlpha);

    img.SetTransparencyFlags(false, false);
    EXPECT_TRUE(img.mForcedMode);
    img.BitsChanged();
    img.AnalyzeAlpha();
    EXPECT_FALSE(img.mHasTrans);
    EXPECT_FALSE(img.mHasAlpha);
}

TEST(MemoryImageBuffers, NativeAlphaDataFor565And888) {
    MemoryImage img;
    SetPixels(img, 3, 1, {0xFFFFFFFF, 0x80C86432, 0x00FFFFFF});
    NativeDisplay d565 = Display(0xF800, 0x07E0, 0x001F, 16);
    uint32_t* n = img.GetNativeAlphaData(&d565);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n[0], 0xFF00FFFFu);
    // (200,100,50) at alpha 128: 100, 50, 25 premultiplied; 5-6-5 bits 12, 12, 3.
    EXPECT_EQ(n[1], 0x80000000u | (12u << 11) | (12u << 5) | 3u);
    EXPECT_EQ(n[2], 0u);   // alpha 0 premultiplies to nothing

    MemoryImage img2;
    SetPixels(img2, 3, 1, {0xFFFFFFFF, 0x80C86432, 0x00FFFFFF});
    NativeDisplay d888 = Display(0xFF0000, 0xFF00, 0xFF, 32);
    n = img2.GetNativeAlphaData(&d888);
    EXPECT_EQ(n[0], 0xFFFFFFFFu);
    EXPECT_EQ(n[1], 0x80643219u);

    // A palettized image gets 256 entries, one per palette slot.
    ASSERT_TRUE(img2.Palletize());
    n = img2.GetNativeAlphaData(&d888);
    const uint8_t* idx = img2.mColorIndices.get();
    EXPECT_EQ(n[idx[0]], 0xFFFFFFFFu);
    EXPECT_EQ(n[idx[1]], 0x80643219u);
    EXPECT_EQ(n[idx[2]], 0u);
}

TEST(MemoryImageBuffers, BitsComeBackFromNativeDataOrTexture) {
    MemoryImage img;
    SetPixels(img, 2, 1, {0xFF336699, 0x80FF0000});
    NativeDisplay d888 = Display(0xFF0000, 0xFF00, 0xFF, 32);
    img.GetNativeAlphaData(&d888);
    img.mBits.reset();   // the native copy is all that is left
    uint32_t* bits = img.GetBits();
    EXPECT_EQ(bits[0], 0xFF336699u);
    EXPECT_EQ(bits[1] >> 24, 0x80u);
    EXPECT_NEAR(int((bits[1] >> 16) & 0xFF), 255, 2);
    EXPECT_EQ(bits[2], Zephra::kBitsGuardWord);

    FakeHost host;
    MemoryImage tex(&host);
    SetPixels(tex, 2, 1, {0xFF010203, 0xFF040506});
    tex.DropBits();   // no texture holds them: they stay
    EXPECT_TRUE(tex.mPurgeBits);
    ASSERT_NE(tex.mBits, nullptr);
    int record = 0;
    tex.mD3DData = &record;
    tex.DropBits();
    EXPECT_EQ(tex.mBits, nullptr);
    host.texture = {0xFF010203, 0xFF040506};
    bits = tex.GetBits();
    EXPECT_EQ(bits[0], 0xFF010203u);
    EXPECT_EQ(bits[1], 0xFF040506u);
    EXPECT_EQ(bits[2], Zephra::kBitsGuardWord);
    tex.mD3DData = nullptr;
}

TEST(MemoryImageBuffers, RunLengthData) {
    // transparent x3, opaque x2, partial, opaque black x2
    std::vector<uint32_t> row = {0x00FFFFFF, 0x00000000, 0x00123456, 0xFFFF0000, 0xFF00FF00,
                                 0x80FFFFFF, 0xFF000000, 0xFF000000};
    MemoryImage img;
    SetPixels(img, 8, 1, row);
    const uint8_t* rl = img.GetRLAlphaData();
    std::vector<int> got(rl, rl + 8);
    EXPECT_EQ(got, (std::vector<int>{3, 2, 1, 2, 1, 1, 2, 1}));

    NativeDisplay d565 = Display(0xF800, 0x07E0, 0x001F, 16);
    const uint8_t* ra = img.GetRLAdditiveData(&d565);
    got.assign(ra, ra + 8);
    // zero native colour: the transparent ones and the black ones
    EXPECT_EQ(got, (std::vector<int>{3, 2, 1, 3, 2, 1, 2, 1}));

    // Runs stop at the row end and never exceed 255.
    std::vector<uint32_t> wide(300 * 2, 0xFFFFFFFF);
    MemoryImage long_;
    SetPixels(long_, 300, 2, wide);
    rl = long_.GetRLAlphaData();
    EXPECT_EQ(rl[0], 255);
    EXPECT_EQ(rl[45], 255);
    EXPECT_EQ(rl[46], 254);
    EXPECT_EQ(rl[299], 1);
    EXPECT_EQ(rl[300], 255);   // the next row starts afresh

    // The palette form gives the same runs.
    ASSERT_TRUE(img.Palletize());
    rl = img.GetRLAlphaData();
    got.assign(rl, rl + 8);
    EXPECT_EQ(got, (std::vector<int>{3, 2, 1, 2, 1, 1, 2, 1}));
}

namespace {
// Records what the base class's composite slots ask of FillRect.
class RecordingImage : public Image {
public:
    std::vector<Rect> fills;
    void FillRect(const Rect& rect, const Color&, int) override { fills.push_back(rect); }
};
} // namespace

TEST(MemoryImageBuffers, BaseImageDefaults) {
    RecordingImage img;
    img.DrawRect(Rect(10, 20, 5, 4), Color::White, 0);
    ASSERT_EQ(img.fills.size(), 4u);
    int area = 0;
    for (const Rect& r : img.fills) area += r.mWidth * r.mHeight;
    EXPECT_EQ(area, 5 * 2 + 2 * 2);   // the outline, each pixel once
    EXPECT_EQ(img.fills[0], Rect(10, 20, 5, 1));
    EXPECT_EQ(img.fills[1], Rect(10, 23, 5, 1));

    img.fills.clear();
    Span spans[2] = {{3, 1, 4}, {4, 2, 2}};
    img.FillSpans(spans, 2, Color::White, 0);
    ASSERT_EQ(img.fills.size(), 2u);
    EXPECT_EQ(img.fills[0], Rect(1, 3, 4, 1));
    EXPECT_EQ(img.fills[1], Rect(2, 4, 2, 1));

    Zephra::Point tri[3] = {{0, 0}, {1, 0}, {0, 1}};
    EXPECT_FALSE(img.FillPolygon(tri, 3, Rect(0, 0, 9, 9), Color::White, 0));
}
