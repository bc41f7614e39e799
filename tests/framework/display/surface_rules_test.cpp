#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "framework/display/surface_kernels.h"
#include "framework/graphics/memory_image.h"
#include "tests/framework/display/surface_test_util.h"

using Zephra::Color;
using Zephra::MemoryImage;
using Zephra::Rect;
using Zephra::RectD;
using namespace Zephra::surface;
using namespace surface_test;

namespace {

MemoryImage* Image(std::vector<uint32_t> px, int w) {
    auto* img = new MemoryImage();
    img->SetBits(px.data(), w, int(px.size()) / w);
    return img;
}

} // namespace

// Single pixels computed by hand from the pixel rules, on 565, 555 and 32-bit
// surfaces, normal and additive, through every family of loops.
TEST(SurfaceRules, PixelsMatchTheRules) {
    using Draw = std::function<void(Surface&, MemoryImage&)>;
    const Draw alpha = [](Surface& s, MemoryImage& m) {
        BltAlpha(s.view, s.f, 0, 0, NativeOf(m, s.f, false), Rect(0, 0, m.mWidth, m.mHeight), Color::White, false);
    };
    const Draw additive = [](Surface& s, MemoryImage& m) {
        BltAdditive(s.view, s.f, 0, 0, NativeOf(m, s.f, true), Rect(0, 0, m.mWidth, m.mHeight), Color::White, false);
    };
    const Draw stretch = [](Surface& s, MemoryImage& m) {
        StretchNearest(s.view, s.f, NativeOf(m, s.f, false), Rect(0, 0, 2, 2), RectD(0, 0, 1, 1), Color::White, false, false);
    };
    const Draw stretchAdd = [](Surface& s, MemoryImage& m) {
        StretchNearest(s.view, s.f, NativeOf(m, s.f, true), Rect(0, 0, 2, 2), RectD(0, 0, 1, 1), Color::White, true, false);
    };
    const Draw rotate = [](Surface& s, MemoryImage& m) {
        Rotation r{0, 0, Rect(0, 0, m.mWidth, m.mHeight), RectD(0, 0, 4, 4), 0.0, 0, 0};
        RotateBilinear(s.view, s.f, ArgbSource{m.GetBits(), nullptr, nullptr, m.mWidth, m.mHeight}, r, Color::White, false);
    };
    const Draw fill = [](Surface& s, MemoryImage& m) { FillRectNormal(s.view, s.f, Rect(0, 0, 4, 4), Color(m.GetBits()[0])); };
    const Draw fillAdd = [](Surface& s, MemoryImage& m) { FillRectAdditive(s.view, s.f, Rect(0, 0, 4, 4), Color(m.GetBits()[0])); };
    const Color tint(255, 160, 80, 200);
    const Draw tinted = [&](Surface& s, MemoryImage& m) {
        BltAlpha(s.view, s.f, 0, 0, NativeOf(m, s.f, false), Rect(0, 0, m.mWidth, m.mHeight), tint, false);
    };
    const Draw grey = [](Surface& s, MemoryImage& m) {
        BltAlpha(s.view, s.f, 0, 0, NativeOf(m, s.f, false), Rect(0, 0, m.mWidth, m.mHeight), Color(128, 128, 128), false);
    };
    const Draw additiveTinted = [&](Surface& s, MemoryImage& m) {
        BltAdditive(s.view, s.f, 0, 0, NativeOf(m, s.f, true), Rect(0, 0, m.mWidth, m.mHeight), tint, false);
    };
    const Draw volatileBlt = [](Surface& s, MemoryImage& m) {
        BltVolatile(s.view, s.f, 0, 0, ArgbOf(m), Rect(0, 0, m.mWidth, m.mHeight), false);
    };
    const Draw stretchTinted = [&](Surface& s, MemoryImage& m) {
        StretchNearest(s.view, s.f, NativeOf(m, s.f, false), Rect(0, 0, 2, 2), RectD(0, 0, 1, 1), tint, false, false);
    };
    auto rotateWith = [](const Color& colour, bool add) {
        return Draw([colour, add](Surface& s, MemoryImage& m) {
            Rotation r{0, 0, Rect(0, 0, m.mWidth, m.mHeight), RectD(0, 0, 4, 4), 0.0, 0, 0};
            RotateBilinear(s.view, s.f, ArgbOf(m), r, colour, add);
        });
    };
    const Draw coverage = [](Surface& s, MemoryImage&) {
        const Zephra::Span span{1, 0, 4};
        const uint8_t cover[4] = {127, 127, 127, 127};
        FillSpansCoverage(s.view, s.f, &span, 1, Color::White, cover, 0, 1, 4, 1);
    };
    const Draw line = [](Surface& s, MemoryImage&) { DrawLine(s.view, s.f, 0.5, 0.5, 3.5, 3.5, Color(255, 0, 0, 128), false); };
    struct Case {
        const char* what;
        PixelFormat f;
        uint32_t dest;
        uint32_t source;   // ARGB of every source pixel, or the fill colour
        Draw draw;
        int x;
        uint32_t expected;
    };
    const Case cases[] = {
        {"half-alpha black over white 565", F565(), 0xFFFF, 0x80000000, alpha, 0, 0x7BEF},
        {"half-alpha black over white 555", F555(), 0x7FFF, 0x80000000, alpha, 0, 0x3DEF},
        {"half-alpha black over white 32", F888(), 0xFFFFFF, 0x80000000, alpha, 0, 0x807F7F7F},
        {"opaque white copies 565", F565(), 0x1234, 0xFFFFFFFF, alpha, 0, 0xFFFF},
        {"opaque white copies 32", F888(), 0x123456, 0xFFFFFFFF, alpha, 0, 0xFFFFFFFF},
        {"alpha 0 blit 565", F565(), 0x1234, 0x00FFFFFF, alpha, 0, 0x1234},
        {"alpha 0 blit 32", F888(), 0xAB123456, 0x00FFFFFF, alpha, 0, 0xAB123456},
        {"alpha 0 additive 32", F888(), 0xAB123456, 0x00FFFFFF, additive, 0, 0xAB123456},
        {"alpha 0 stretch 32", F888(), 0xAB123456, 0x00FFFFFF, stretch, 1, 0xAB123456},
        {"alpha 0 stretch additive 555", F555(), 0x1234, 0x00FFFFFF, stretchAdd, 1, 0x1234},
        {"additive saturates 565", F565(), 0x8410, 0xFFFFFFFF, additive, 0, 0xFFFF},
        {"additive adds 32", F888(), 0xFF808080, 0xFF404040, additive, 0, 0x00C0C0C0},
        {"additive saturates 555", F555(), 0x4210, 0xFFFFFFFF, additive, 0, 0x7FFF},
        {"stretch half alpha 565", F565(), 0xFFFF, 0x80000000, stretch, 1, 0x7BEF},
        {"rotated opaque white over black 32", F888(), 0, 0xFFFFFFFF, rotate, 1, 0x00FDFDFD},
        {"rotated opaque white over black 565", F565(), 0, 0xFFFFFFFF, rotate, 1, 0xFFFF},
        {"rotation leaves the first column", F565(), 0x1234, 0xFFFFFFFF, rotate, 0, 0x1234},
        {"fill white 565", F565(), 0, 0xFFFFFFFF, fill, 0, 0xFFFF},
        {"fill white 32", F888(), 0, 0xFFFFFFFF, fill, 0, 0xFFFFFF},
        {"fill alpha 0 565", F565(), 0xFFFF, 0x00123456, fill, 0, 0xFFFF},
        {"fill alpha 0 32", F888(), 0xFFFFFF, 0x00123456, fill, 0, 0xFFFFFF},
        {"fill half red 565", F565(), 0, 0x80FF0000, fill, 0, 0x7800},
        {"additive fill saturates 565", F565(), 0x1234, 0xFFFFFFFF, fillAdd, 0, 0xFFFF},
        {"additive fill saturates 32", F888(), 0x123456, 0xFFFFFFFF, fillAdd, 0, 0xFFFFFF},
        {"tinted blit 32", F888(), 0xFFFFFFFF, 0xFF808080, tinted, 0, 0x009B7656},
        {"tinted stretch 32", F888(), 0xFFFFFFFF, 0xFF808080, stretchTinted, 1, 0x009B7656},
        {"grey opaque blit 565", F565(), 0x1234, 0xFFFFFFFF, grey, 0, 0x7BEF},
        {"tinted additive 565", F565(), 0, 0xFFFFFFFF, additiveTinted, 0, 0xC3C7},
        {"volatile packed 32", F888(), 0xFFFFFF, 0x80000000, volatileBlt, 0, 0x007F7F7F},
        {"volatile channels 565", F565(), 0xFFFF, 0x80000000, volatileBlt, 0, 0x7BEF},
        {"rotated additive 32", F888(), 0, 0xFFFFFFFF, rotateWith(Color::White, true), 1, 0x00FCFCFC},
        {"rotated tinted 32", F888(), 0, 0xFFFFFFFF, rotateWith(Color(255, 255, 255, 254), false), 1, 0x00FBFBFB},
        {"coverage 565", F565(), 0, 0, coverage, 2, 0x73CE},
        {"half-alpha line 565", F565(), 0xFFFF, 0, line, 1, 0xF3EF},
    };
    for (const Case& c : cases) {
        Surface s(c.f, 4, 4);
        s.Fill(c.dest);
        std::unique_ptr<MemoryImage> src(Image(std::vector<uint32_t>(16, c.source), 4));
        c.draw(s, *src);
        EXPECT_EQ(s.Get(c.x, 1), c.expected) << c.what << std::hex << ": got " << s.Get(c.x, 1);
    }
}

// Where the loops put pixels: mirrored rows, runs cut by the row end, the
// first pixel of a stepped line, the mirrored stretch's first column, and an
// antialiased line that runs off the surface.
TEST(SurfaceRules, PixelsLandWhereTheRulesPutThem) {
    const PixelFormat f = F888();
    {
        Surface s(f, 5, 1);
        std::unique_ptr<MemoryImage> m(Image({0xFF000001, 0xFF000002, 0xFF000003}, 3));
        BltAlpha(s.view, f, 0, 0, NativeOf(*m, f, false), Rect(0, 0, 3, 1), Color::White, true);
        EXPECT_EQ((std::vector<uint32_t>{s.Get(0, 0), s.Get(1, 0), s.Get(2, 0), s.Get(3, 0)}),
                  (std::vector<uint32_t>{0xFF000003, 0xFF000002, 0xFF000001, 0}));
    }
    {
        Surface s(f, 300, 2);
        std::unique_ptr<MemoryImage> m(Image(std::vector<uint32_t>(300, 0xFFFFFFFF), 300));
        BltAlpha(s.view, f, 290, 0, NativeOf(*m, f, false), Rect(0, 0, 300, 1), Color::White, false);
        int written = 0;
        for (int x = 0; x < 300; ++x) written += s.Get(x, 0) != 0;
        EXPECT_EQ(written, 10);
        EXPECT_EQ(s.Get(0, 1), 0u) << "the run spilled into the next row";
    }
    {
        // A palettized opaque-or-transparent source copies its opaque entries only.
        Surface s(f, 3, 1);
        s.Fill(0x00123456);
        std::unique_ptr<MemoryImage> m(Image({0xFF000001, 0x00FFFFFF, 0xFF000003}, 3));
        ASSERT_TRUE(m->Palletize());
        BltOpaque(s.view, f, 0, 0, NativeOf(*m, f, false), Rect(0, 0, 3, 1), false, false);
        EXPECT_EQ((std::vector<uint32_t>{s.Get(0, 0), s.Get(1, 0), s.Get(2, 0)}),
                  (std::vector<uint32_t>{0xFF000001, 0x00123456, 0xFF000003}));
    }
    {
        Surface s(f, 5, 5);
        DrawLine(s.view, f, 0.5, 0.5, 3.5, 3.5, Color::White, false);
        EXPECT_NE(s.Get(0, 0), 0u);
        EXPECT_NE(s.Get(3, 3), 0u);
        EXPECT_EQ(s.Get(4, 4), 0u);
    }
    {
        Surface s(f, 6, 1);
        std::unique_ptr<MemoryImage> m(Image({0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004}, 4));
        StretchNearest(s.view, f, NativeOf(*m, f, false), Rect(1, 0, 4, 1), RectD(0, 0, 4, 1), Color::White, false, true);
        EXPECT_EQ(s.Get(4, 0), 0xFF000001u);
        EXPECT_EQ(s.Get(1, 0), 0xFF000004u);
        Surface t(f, 6, 1);
        StretchNearest(t.view, f, NativeOf(*m, f, false), Rect(0, 0, 6, 1), RectD(0, 0, 4, 1), Color(255, 255, 255, 0), false, false);
        EXPECT_EQ(t.Get(2, 0), 0u) << "a tint of alpha 0 writes nothing";
    }
    for (const PixelFormat& g : {F565(), F888()}) {
        Surface s(g, 8, 8);
        DrawLineAA(s.view, g, -10.3, -10.7, 30.2, 5.1, Color::White);
        DrawLineAA(s.view, g, 7.9, 0.2, 7.9, 50.0, Color::White);
        DrawLineAA(s.view, g, 2.5, 7.5, 20.5, 7.9, Color::White);
        for (int y = 0; y < 8; ++y)
            for (size_t i = size_t(8 * g.bitCount / 8); i < size_t(s.view.pitch); ++i)
                ASSERT_EQ(s.mem[size_t(y) * s.view.pitch + i], 0) << "written past row " << y;
    }
}

// Conversion between the bits and the surface, format tags and colour keys.
TEST(SurfaceRules, ConversionTagsAndKeys) {
    EXPECT_EQ(FromSurface(0xFFFF, F565()), 0xFFF8FCF8u);
    EXPECT_EQ(ToSurface(0xFFFFFFFF, F565()), 0xFFFFu);
    EXPECT_EQ(ToSurface(0xFF123456, F888()), 0x123456u);
    struct Tag {
        int bits;
        uint32_t r, g, b;
        int tag;
        bool rgbOrder;
    };
    const Tag tags[] = {{16, 0xF800, 0x07E0, 0x001F, kTag565, true}, {16, 0x7C00, 0x03E0, 0x001F, kTag555, true},
                        {32, 0xFF0000, 0xFF00, 0xFF, kTag888, true},   {16, 0x001F, 0x07E0, 0xF800, kTagNone, false},
                        {32, 0xFF, 0xFF00, 0xFF0000, kTagNone, false}, {16, 0xF000, 0x0F00, 0x00F0, kTagNone, true},
                        {24, 0xFF0000, 0xFF00, 0xFF, kTagNone, true}};
    for (const Tag& t : tags) {
        const PixelFormat f = MakePixelFormat(t.bits, t.r, t.g, t.b);
        EXPECT_EQ(f.tag, t.tag) << std::hex << t.r << "/" << t.g << "/" << t.b;
        EXPECT_EQ(f.rgbOrder, t.rgbOrder) << std::hex << t.r;
    }
    // Transparent black beside opaque black: the key is the lowest unused value,
    // and the key pixels read back transparent.
    struct Key {
        PixelFormat f;
        std::vector<uint32_t> px;
        bool found;
        uint32_t key;
    };
    std::vector<uint32_t> all16;
    for (uint32_t v = 0; v < 65536; ++v) all16.push_back(FromSurface(v, F565()));
    all16.push_back(0);
    const Key keys[] = {
        {F565(), {0x00000000, 0xFF000000, 0xFF0000FF}, true, 0x0001},
        {F565(), {0x00FFFFFF, 0xFF000000}, true, 0xFFFF},
        {F888(), {0x00000000, 0xFF000000, 0xFF000001}, true, 0x000002},
        {F888(), {0x80FFFFFF, 0xFF000000}, true, 0x80FFFFFF},
        {F565(), all16, false, 0},
    };
    for (const Key& k : keys) {
        uint32_t key = 0;
        const bool found = ChooseColourKey(k.f, k.px.data(), int(k.px.size()), key);
        EXPECT_EQ(found, k.found) << k.px.size();
        if (found && k.found) {
            EXPECT_EQ(key, k.key) << std::hex << key;
        }
    }
    Surface s(F565(), 3, 1);
    const uint32_t px[3] = {0x00000000, 0xFF000000, 0xFFFFFFFF};
    WritePixels(s.view, s.f, px, true, 0x0001);
    uint32_t back[3];
    ReadPixels(s.view, s.f, back, true, 0x0001);
    EXPECT_EQ(back[0], 0u);
    EXPECT_EQ(back[1], 0xFF000000u);
    EXPECT_EQ(back[2], 0xFFF8FCF8u);
}
