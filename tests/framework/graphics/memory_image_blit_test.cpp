#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "framework/graphics/blend_rows.h"
#include "framework/graphics/image.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/pixel_blend.h"
#include "tests/support/raster_loops.h"

using Zephra::Color;
using Zephra::Image;
using Zephra::MemoryImage;
using Zephra::Point;
using Zephra::Rect;
using Zephra::Span;

namespace {

constexpr uint32_t kBlue = 0xFF0000FFu;

void Fill(MemoryImage& img, int w, int h, uint32_t pixel) {
    std::vector<uint32_t> px(size_t(w) * h, pixel);
    img.SetBits(px.data(), w, h);
}

uint32_t Px(MemoryImage& img, int x, int y) { return img.GetBits()[y * img.mWidth + x]; }

std::vector<uint32_t> Row(MemoryImage& img, int y) {
    return std::vector<uint32_t>(img.GetBits() + y * img.mWidth, img.GetBits() + (y + 1) * img.mWidth);
}

// 2 x 2 source with four distinct opaque pixels 1, 2 / 3, 4 (as blue levels).
void Quad(MemoryImage& img) {
    uint32_t px[4] = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
    img.SetBits(px, 2, 2);
}

int Painted(MemoryImage& img, uint32_t background) {
    int n = 0;
    for (int i = 0; i < img.mWidth * img.mHeight; ++i) n += img.GetBits()[i] != background;
    return n;
}

} // namespace

TEST(MemoryImageBlit, NormalBlendOverOpaqueAndIntoTransparent) {
    MemoryImage src;
    Fill(src, 1, 1, 0x80FF0000);   // red at alpha 128
    MemoryImage dst;
    Fill(dst, 2, 1, kBlue);
    dst.GetBits()[1] = 0;   // fully transparent
    dst.BitsChanged();
    dst.Blt(&src, 0, 0, Rect(0, 0, 1, 1), Color::White, 0);
    dst.Blt(&src, 1, 0, Rect(0, 0, 1, 1), Color::White, 0);
    EXPECT_EQ(Px(dst, 0, 0), 0xFF80007Fu);
    EXPECT_EQ(Px(dst, 1, 0), 0x80FF0000u);   // red at alpha 128, not dark red
    EXPECT_EQ(src.mDrawn, 1);

    // Opaque and fully transparent source pixels: copy and skip.
    uint32_t mixed[3] = {0xFF00FF00, 0x00FF00FF, 0xFF00FF00};
    src.SetBits(mixed, 3, 1);
    Fill(dst, 3, 1, kBlue);
    dst.Blt(&src, 0, 0, Rect(0, 0, 3, 1), Color::White, 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<uint32_t>{0xFF00FF00, kBlue, 0xFF00FF00}));
}

TEST(MemoryImageBlit, EveryModeMatchesThePixelRules) {
    // Random pixels of every alpha class, over opaque and translucent
    // destinations; the blit must give what the per-pixel rules give.
    std::mt19937 rng(7);
    auto pixel = [&] {
        uint32_t p = rng();
        switch (rng() % 4) {
        case 0: return p | 0xFF000000u;
        case 1: return p & 0x00FFFFFFu;
        default: return p;
        }
    };
    const int w = 37, h = 5;
    std::vector<uint32_t> sp(w * h), dp(w * h);
    for (auto& p : sp) p = pixel();
    for (auto& p : dp) p = pixel();
    MemoryImage src;
    src.SetBits(sp.data(), w, h);
    for (Color tint : {Color::White, Color(200, 100, 50, 180)})
        for (int mode : {0, 1})
            for (bool mirror : {false, true}) {
                MemoryImage dst;
                dst.SetBits(dp.data(), w, h);
                if (mirror)
                    dst.BltMirror(&src, 0, 0, Rect(0, 0, w, h), tint, mode);
                else
                    dst.Blt(&src, 0, 0, Rect(0, 0, w, h), tint, mode);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        uint32_t s = sp[y * w + (mirror ? w - 1 - x : x)];
                        if (!(tint == Color::White)) s = Zephra::blend::Colorize(s, tint);
                        ASSERT_EQ(Px(dst, x, y), Zephra::blend::Apply(dp[y * w + x], s, mode))
                            << x << "," << y << " mode " << mode << " mirror " << mirror;
                    }
            }

    // Fills follow the same rules.
    for (int mode : {0, 1}) {
        MemoryImage dst;
        dst.SetBits(dp.data(), w, h);
        dst.FillRect(Rect(0, 0, w, h), Color(10, 200, 90, 77), mode);
        for (int i = 0; i < w * h; ++i)
            ASSERT_EQ(dst.GetBits()[i], Zephra::blend::Apply(dp[i], 0x4D0AC85Au, mode)) << i;
    }
}

TEST(MemoryImageBlit, AdditiveSaturatesAndTintColourises) {
    MemoryImage src;
    Fill(src, 1, 1, 0xFF643200);   // (100, 50, 0)
    MemoryImage dst;
    Fill(dst, 1, 1, 0xFFC8C8C8);   // (200, 200, 200)
    dst.Blt(&src, 0, 0, Rect(0, 0, 1, 1), Color::White, 1);
    EXPECT_EQ(Px(dst, 0, 0), 0xFFFFFAC8u);

    Fill(src, 1, 1, 0xFFFFFFFF);
    Fill(dst, 2, 1, 0xFF000000);
    dst.Blt(&src, 0, 0, Rect(0, 0, 1, 1), Color(255, 128, 0), 0);
    EXPECT_EQ(Px(dst, 0, 0), 0xFFFF8000u);
    // Almost white is still a tint: its alpha of 128 blends.
    dst.Blt(&src, 1, 0, Rect(0, 0, 1, 1), Color(255, 255, 255, 128), 0);
    EXPECT_EQ(Px(dst, 1, 0), 0xFF808080u);
    // A tint with alpha 0 draws nothing.
    dst.Blt(&src, 0, 0, Rect(0, 0, 1, 1), Color(255, 255, 255, 0), 0);
    EXPECT_EQ(Px(dst, 0, 0), 0xFFFF8000u);
}

TEST(MemoryImageBlit, ClipsAtEveryEdge) {
    MemoryImage src;
    Quad(src);
    struct Case {
        int x, y;
        int dx, dy;       // the destination pixel that shows...
        uint32_t shown;   // ...this source pixel
        int painted;
    } cases[] = {
        {-1, -1, 0, 0, 0xFF000004, 1},
        {3, -1, 3, 0, 0xFF000003, 1},
        {-1, 3, 0, 3, 0xFF000002, 1},
        {3, 3, 3, 3, 0xFF000001, 1},
        {1, 1, 2, 2, 0xFF000004, 4},
    };
    for (const Case& c : cases) {
        MemoryImage dst;
        Fill(dst, 4, 4, 0);
        dst.Blt(&src, c.x, c.y, Rect(0, 0, 2, 2), Color::White, 0);
        EXPECT_EQ(Px(dst, c.dx, c.dy), c.shown) << c.x << "," << c.y;
        EXPECT_EQ(Painted(dst, 0), c.painted) << c.x << "," << c.y;
        EXPECT_EQ(dst.GetBits()[16], Zephra::kBitsGuardWord);
    }

    MemoryImage dst;
    Fill(dst, 4, 4, 0);
    for (auto [x, y] : {std::pair{-2, 0}, {4, 0}, {0, -2}, {0, 4}, {-100000, 100000}})
        dst.Blt(&src, x, y, Rect(0, 0, 2, 2), Color::White, 0);
    EXPECT_EQ(Painted(dst, 0), 0);

    // A source rectangle reaching outside its image is trimmed to it.
    dst.Blt(&src, 0, 0, Rect(-1, 1, 5, 5), Color::White, 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<uint32_t>{0, 0xFF000003, 0xFF000004, 0}));
    EXPECT_EQ(Painted(dst, 0), 2);
}

TEST(MemoryImageBlit, MirrorReversesRows) {
    uint32_t px[3] = {0xFF000001, 0xFF000002, 0xFF000003};
    MemoryImage src;
    src.SetBits(px, 3, 1);
    MemoryImage dst;
    Fill(dst, 4, 1, 0);
    dst.BltMirror(&src, 0, 0, Rect(0, 0, 3, 1), Color::White, 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<uint32_t>{0xFF000003, 0xFF000002, 0xFF000001, 0}));

    // Cut on the left: the mirrored row's first pixel goes.
    Fill(dst, 4, 1, 0);
    dst.BltMirror(&src, -1, 0, Rect(0, 0, 3, 1), Color::White, 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<uint32_t>{0xFF000002, 0xFF000001, 0, 0}));
    // Cut on the right: the mirrored row's last pixel goes.
    Fill(dst, 4, 1, 0);
    dst.BltMirror(&src, 2, 0, Rect(0, 0, 3, 1), Color::White, 0);
    EXPECT_EQ(Row(dst, 0), (std::vector<uint32_t>{0, 0, 0xFF000003, 0xFF000002}));
}

TEST(MemoryImageBlit, PalettizedSelfAndForeignSources) {
    uint32_t px[4] = {0xFF000001, 0x00000000, 0x80FF0000, 0xFF000004};
    MemoryImage src;
    src.SetBits(px, 4, 1);
    MemoryImage viaBits;
    Fill(viaBits, 4, 1, kBlue);
    viaBits.Blt(&src, 0, 0, Rect(0, 0, 4, 1), Color::White, 0);
    ASSERT_TRUE(src.Palletize());
    MemoryImage viaPalette;
    Fill(viaPalette, 4, 1, kBlue);
    viaPalette.Blt(&src, 0, 0, Rect(0, 0, 4, 1), Color::White, 0);
    EXPECT_EQ(Row(viaPalette, 0), Row(viaBits, 0));
    EXPECT_TRUE(src.IsPalettized());   // reading does not expand it

    // Onto itself, overlapping: the source is read as it was.
    uint32_t seq[4] = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
    MemoryImage self;
    self.SetBits(seq, 4, 1);
    self.Blt(&self, 1, 0, Rect(0, 0, 3, 1), Color::White, 0);
    EXPECT_EQ(Row(self, 0), (std::vector<uint32_t>{0xFF000001, 0xFF000001, 0xFF000002, 0xFF000003}));

    Image foreign;
    foreign.mWidth = foreign.mHeight = 4;
    MemoryImage dst;
    Fill(dst, 4, 1, kBlue);
    dst.Blt(&foreign, 0, 0, Rect(0, 0, 4, 1), Color::White, 0);
    dst.Blt(nullptr, 0, 0, Rect(0, 0, 4, 1), Color::White, 0);
    EXPECT_EQ(Painted(dst, kBlue), 0);
    EXPECT_EQ(foreign.mDrawn, 1);
}

TEST(MemoryImageBlit, BltFRoundsAndClips) {
    MemoryImage src;
    Quad(src);
    MemoryImage dst;
    Fill(dst, 4, 4, 0);
    dst.BltF(&src, 0.6f, 1.4f, Rect(0, 0, 2, 2), Rect(0, 0, 4, 4), Color::White, 0);
    EXPECT_EQ(Px(dst, 1, 1), 0xFF000001u);
    EXPECT_EQ(Painted(dst, 0), 4);

    Fill(dst, 4, 4, 0);
    dst.BltF(&src, 1.0f, 1.0f, Rect(0, 0, 2, 2), Rect(2, 0, 2, 2), Color::White, 0);
    EXPECT_EQ(Painted(dst, 0), 1);
    EXPECT_EQ(Px(dst, 2, 1), 0xFF000002u);
    dst.BltF(&src, 1.0f, 1.0f, Rect(0, 0, 2, 2), Rect(0, 0, 0, 0), Color::White, 0);
    dst.BltF(&src, 1e30f, 0.0f, Rect(0, 0, 2, 2), Rect(0, 0, 4, 4), Color::White, 0);
    EXPECT_EQ(Painted(dst, 0), 1);
}

TEST(MemoryImageFill, FillRectAlphaLevelsModesAndClipping) {
    MemoryImage img;
    Fill(img, 4, 4, kBlue);
    img.FillRect(Rect(0, 0, 4, 4), Color(255, 0, 0, 0), 0);
    EXPECT_EQ(Painted(img, kBlue), 0);
    img.FillRect(Rect(-2, -2, 3, 3), Color(255, 0, 0, 255), 0);   // clipped to (0,0,1,1)
    EXPECT_EQ(Px(img, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Painted(img, kBlue), 1);
    img.FillRect(Rect(3, 3, 5, 5), Color(255, 0, 0, 128), 0);
    EXPECT_EQ(Px(img, 3, 3), 0xFF80007Fu);
    EXPECT_EQ(Painted(img, kBlue), 2);
    img.FillRect(Rect(1, 0, 1, 1), Color(255, 0, 0, 255), 1);
    EXPECT_EQ(Px(img, 1, 0), 0xFFFF00FFu);
    img.FillRect(Rect(0, 0, 4, 4), Color(300, -5, 0, 255), 0);   // components clamp
    EXPECT_EQ(Px(img, 2, 2), 0xFFFF0000u);

    img.ClearRect(Rect(1, 1, 10, 1));
    EXPECT_EQ(Row(img, 1), (std::vector<uint32_t>{0xFFFF0000, 0, 0, 0}));
    EXPECT_EQ(img.GetBits()[16], Zephra::kBitsGuardWord);
}

TEST(MemoryImageFill, DrawLineEndpointsAndClipping) {
    MemoryImage img;
    Fill(img, 5, 5, 0);
    img.DrawLine(1, 2, 3, 2, Color(255, 255, 255), 0);
    EXPECT_EQ(Row(img, 2), (std::vector<uint32_t>{0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0}));

    Fill(img, 5, 5, 0);
    img.DrawLine(0.5, 0.5, 3.5, 3.5, Color(255, 255, 255), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Px(img, i, i), 0xFFFFFFFFu) << i;
    EXPECT_EQ(Painted(img, 0), 4);

    Fill(img, 5, 5, 0);
    img.DrawLine(-10, -10, 20, 20, Color(255, 255, 255), 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Px(img, i, i), 0xFFFFFFFFu) << i;
    EXPECT_EQ(Painted(img, 0), 5);

    // Far-away endpoints are trimmed, not walked pixel by pixel.
    Fill(img, 5, 5, 0);
    img.DrawLine(-1e12, 1, 1e12, 1, Color(255, 255, 255), 0);
    EXPECT_EQ(Painted(img, 0), 5);
    img.DrawLineAA(0, 4, 4, 4, Color(255, 255, 255), 0);
    EXPECT_EQ(Painted(img, 0), 10);
    img.DrawLine(0, 4, 4, 4, Color(0, 0, 0, 255), 1);   // additive black adds nothing
    EXPECT_EQ(Painted(img, 0), 10);
}

TEST(MemoryImageFill, FillSpansCoverageWeighsByCoverage) {
    MemoryImage img;
    Fill(img, 6, 3, 0xFF000000);
    // Coverage 3 x 2 placed at (1, 1): row 1 = 255, 0, 127; row 2 = 255, 255, 255.
    uint8_t cov[6] = {255, 0, 127, 255, 255, 255};
    Span spans[2] = {{1, 0, 6}, {0, 0, 6}};   // y, x, width
    img.FillSpansCoverage(spans, 2, Color(255, 255, 255, 255), 0, cov, 1, 1, 3, 2);
    EXPECT_EQ(Row(img, 1), (std::vector<uint32_t>{0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFF7F7F7F,
                                                  0xFF000000, 0xFF000000}));
    EXPECT_EQ(Row(img, 0), std::vector<uint32_t>(6, 0xFF000000));   // outside the coverage
    EXPECT_EQ(Row(img, 2), std::vector<uint32_t>(6, 0xFF000000));   // not spanned

    // Every coverage value over opaque, translucent and clear pixels, in both
    // blends and on every loop width: each pixel as the per-pixel rule makes it.
    const Color tint(200, 120, 40, 230);
    std::vector<uint8_t> ramp(300);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = uint8_t(i * 7 % 256);
    for (int mode : {0, 1})
        for (uint32_t under : {0xFF204060u, 0x80204060u, 0x00000000u})
            testsupport::ForEachLoops([&](Zephra::raster::Loops loops) {
                MemoryImage wide;
                Fill(wide, 300, 1, under);
                const Span whole{0, 0, 300};
                wide.FillSpansCoverage(&whole, 1, tint, mode, ramp.data(), 0, 0, 300, 1);
                for (int x = 0; x < 300; ++x) {
                    const uint32_t a = (uint32_t(ramp[size_t(x)]) + 1) * 230 >> 8;
                    const uint32_t want = a ? Zephra::blend::Apply(under, a << 24 | 0xC87828u, mode) : under;
                    ASSERT_EQ(Row(wide, 0)[size_t(x)], want)
                        << testsupport::LoopsName(loops) << " mode " << mode << " under " << std::hex << under
                        << " at " << std::dec << x;
                }
            });
}

TEST(MemoryImageFill, FillPolygonHalfOpenRule) {
    MemoryImage img;
    Fill(img, 6, 6, 0);
    Point square[4] = {{1, 1}, {4, 1}, {4, 3}, {1, 3}};
    EXPECT_TRUE(img.FillPolygon(square, 4, Rect(0, 0, 6, 6), Color(255, 255, 255), 0));
    // Left and top edges inside, right and bottom outside: 3 x 2 pixels.
    EXPECT_EQ(Painted(img, 0), 6);
    EXPECT_EQ(Px(img, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Px(img, 3, 2), 0xFFFFFFFFu);
    EXPECT_EQ(Px(img, 4, 1), 0u);
    EXPECT_EQ(Px(img, 1, 3), 0u);

    // Two squares sharing an edge: no pixel drawn twice, none missing.
    Point right[4] = {{4, 1}, {6, 1}, {6, 3}, {4, 3}};
    img.FillPolygon(right, 4, Rect(0, 0, 6, 6), Color(255, 0, 0), 0);
    EXPECT_EQ(Px(img, 3, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Px(img, 4, 1), 0xFFFF0000u);
    EXPECT_EQ(Painted(img, 0), 10);
    // Additive mode blends each covered pixel once.
    Point bar[4] = {{0, 4}, {2, 4}, {2, 5}, {0, 5}};
    img.FillPolygon(bar, 4, Rect(0, 0, 6, 6), Color(255, 255, 255, 128), 1);
    EXPECT_EQ(Px(img, 0, 4), 0x80808080u);

    // The clip rectangle limits the fill; fewer than three points draw nothing.
    Fill(img, 6, 6, 0);
    Point tri[3] = {{0, 0}, {6, 0}, {0, 6}};
    EXPECT_TRUE(img.FillPolygon(tri, 3, Rect(0, 0, 2, 6), Color(255, 255, 255), 0));
    EXPECT_EQ(Px(img, 2, 0), 0u);
    EXPECT_EQ(Px(img, 1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Px(img, 0, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Px(img, 1, 4), 0u);   // centre (1.5, 4.5) lies on x + y = 6: outside
    EXPECT_EQ(Px(img, 0, 5), 0u);
    EXPECT_FALSE(img.FillPolygon(tri, 2, Rect(0, 0, 6, 6), Color(255, 255, 255), 0));
}

// The SSE2 and AVX2 row blends and tints give the per-pixel rules' words, for
// every source alpha against every channel value, over opaque, transparent and
// part-transparent destinations, plain and mirrored.
TEST(MemoryImageBlit, FastRowsEqualThePixelRules) {
    using Zephra::raster::Loops;
    std::mt19937 rng(11);
    const int n = 256 + 3;   // whole groups and a tail
    std::vector<uint32_t> src(static_cast<size_t>(n)), dst(static_cast<size_t>(n));
    using Row = void (*)(uint32_t*, const uint32_t*, int, bool);
    struct Case {
        const char* what;
        Row fast;
        Row reference;
    };
    const Case cases[] = {
        {"normal", Zephra::raster::NormalRow, Zephra::raster::NormalRowReference},
        {"additive", Zephra::raster::AdditiveRow, Zephra::raster::AdditiveRowReference},
        {"premultiplied add",
         [](uint32_t* d, const uint32_t* s, int n, bool mirror) {
             MemoryImage img;
             img.SetBits(s, n, 1);
             Zephra::raster::AddPremultipliedRow(d, img.GetPremultipliedData(), n, mirror);
         },
         Zephra::raster::AdditiveRowReference},
        {"tint",
         [](uint32_t* d, const uint32_t* s, int n, bool) {
             std::copy(s, s + n, d);
             Zephra::raster::TintRow(d, n, Color(200, 100, 50, 180));
         },
         [](uint32_t* d, const uint32_t* s, int n, bool) {
             std::copy(s, s + n, d);
             Zephra::raster::TintRowReference(d, n, Color(200, 100, 50, 180));
         }},
    };
    testsupport::ForEachLoops([&](Loops loops) {
        for (const Case& c : cases)
            for (uint32_t a = 0; a < 256; ++a)
                for (uint32_t destAlpha : {0u, 255u, 128u, 999u})
                    for (bool mirror : {false, true}) {
                        for (int i = 0; i < n; ++i) {
                            const uint32_t v = uint32_t(i) & 0xFF;
                            const uint32_t sa = a == 7 ? uint32_t(rng() & 0xFF) : a;   // one row of mixed alphas
                            src[size_t(i)] = sa << 24 | v << 16 | ((v * 5) & 0xFF) << 8 | (255 - v);
                            const uint32_t da = destAlpha == 999u ? (i % 3 == 0 ? 0x80u : 0xFFu) : destAlpha;
                            dst[size_t(i)] = da << 24 | (uint32_t(rng()) & 0xFFFFFF);
                        }
                        std::vector<uint32_t> want = dst;
                        c.reference(want.data(), src.data(), n, mirror);
                        c.fast(dst.data(), src.data(), n, mirror);
                        for (int i = 0; i < n; ++i)
                            if (dst[size_t(i)] != want[size_t(i)]) {
                                ADD_FAILURE() << c.what << " " << testsupport::LoopsName(loops) << " alpha " << a
                                              << " dest alpha " << destAlpha << " mirror " << mirror << " at " << i
                                              << std::hex << ": " << dst[size_t(i)] << " not " << want[size_t(i)];
                                break;
                            }
                    }
    });
}

// Blits that walk the source's alpha runs or add its premultiplied copy draw
// what the plain per-pixel loops draw: keyed, soft and forced sources,
// clipped at every edge, mirrored, onto opaque and translucent destinations,
// and again after the source changed (its derived buffers made anew).
TEST(MemoryImageBlit, RunsAndPremultipliedCopyDrawWhatThePlainLoopsDraw) {
    using Zephra::raster::Loops;
    enum Kind { Keyed, Soft, ForcedOpaque };
    struct Case {
        const char* what;
        Kind kind;
        int x, y;
        Rect src;
        int drawMode;
        bool mirror, translucentDest, isVolatile;
    } cases[] = {
        {"keyed", Keyed, 3, 2, Rect(0, 0, 300, 40), 0, false, false, false},
        {"keyed, mirrored", Keyed, -5, 1, Rect(0, 0, 300, 40), 0, true, false, false},
        {"keyed, clipped left and top", Keyed, -17, -9, Rect(2, 1, 298, 39), 0, false, false, false},
        {"keyed, clipped right and bottom, mirrored", Keyed, 40, 20, Rect(0, 0, 300, 40), 0, true, false, false},
        {"soft over translucent", Soft, 0, 0, Rect(0, 0, 300, 40), 0, false, true, false},
        {"soft, mirrored over translucent", Soft, 7, 3, Rect(5, 2, 290, 37), 0, true, true, false},
        {"forced opaque, alpha inside", ForcedOpaque, 1, 1, Rect(0, 0, 300, 40), 0, false, false, false},
        {"additive", Soft, 0, 0, Rect(0, 0, 300, 40), 1, false, true, false},
        {"additive, mirrored and clipped", Soft, -11, 30, Rect(3, 0, 297, 40), 1, true, false, false},
        {"volatile", Soft, 2, 2, Rect(0, 0, 300, 40), 0, false, true, true},
        {"volatile additive", Soft, 2, 2, Rect(0, 0, 300, 40), 1, true, true, true},
    };
    std::mt19937 rng(5);
    std::vector<uint32_t> soft(300 * 40), dest(320 * 48);
    uint32_t alpha = 0;
    for (uint32_t& p : soft) {
        if (rng() % 9 == 0) alpha = std::array<uint32_t, 4>{0, 255, uint32_t(rng() & 255), 1}[rng() % 4];
        p = alpha << 24 | (rng() & 0xFFFFFF);
    }
    for (uint32_t& p : dest) p = uint32_t(rng());
    for (const Case& c : cases) {
        std::vector<uint32_t> px = soft;
        if (c.kind == Keyed)
            for (uint32_t& p : px) p = (p >> 24) < 128 ? p & 0xFFFFFF : p | 0xFF000000u;
        std::vector<uint32_t> want;
        testsupport::ForEachLoops([&](Loops loops) {
            MemoryImage src, dst;
            src.SetBits(px.data(), 300, 40);
            if (c.kind == ForcedOpaque) src.SetTransparencyFlags(false, false);
            src.SetVolatile(c.isVolatile);
            std::vector<uint32_t> d = dest;
            if (!c.translucentDest)
                for (uint32_t& p : d) p |= 0xFF000000u;
            dst.SetBits(d.data(), 320, 48);
            // Twice, the source changed between: the second blit must not use
            // runs or copies made from the first pixels.
            for (int pass = 0; pass < 2; ++pass) {
                if (pass == 1) {
                    src.GetBits()[301] ^= 0xFF000000u;
                    src.GetBits()[602] = 0x80FFFFFFu;
                    src.BitsChanged();
                }
                if (c.mirror)
                    dst.BltMirror(&src, c.x, c.y, c.src, Color::White, c.drawMode);
                else
                    dst.Blt(&src, c.x, c.y, c.src, Color::White, c.drawMode);
            }
            const std::vector<uint32_t> got(dst.GetBits(), dst.GetBits() + 320 * 48);
            if (loops == Loops::Reference)
                want = got;
            else
                EXPECT_EQ(got, want) << c.what << ", " << testsupport::LoopsName(loops);
        });
    }
}
