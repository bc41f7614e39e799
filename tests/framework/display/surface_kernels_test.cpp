#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/display/surface_kernels.h"
#include "tests/framework/display/surface_test_util.h"
#include "framework/graphics/memory_image.h"

using Zephra::Color;
using Zephra::MemoryImage;
using Zephra::NativeDisplay;
using Zephra::Rect;
using Zephra::RectD;
using Zephra::Span;
using namespace Zephra::surface;

using surface_test::NativeOf;
using surface_test::Surface;

namespace {

struct Format {
    const char* name;
    int bits;
    uint32_t r, g, b;
};

const Format kFormats[] = {
    {"565", 16, 0xF800, 0x07E0, 0x001F},       {"555", 16, 0x7C00, 0x03E0, 0x001F},
    {"888", 32, 0xFF0000, 0xFF00, 0xFF},       {"888-bgr", 32, 0xFF, 0xFF00, 0xFF0000},
    {"565-bgr", 16, 0x001F, 0x07E0, 0xF800},
};

// Every alpha (rows) under every channel value (columns), plus rows of mixed
// runs from a random source.
void ExhaustiveBits(MemoryImage& img) {
    std::vector<uint32_t> px(256 * 256);
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t v = 0; v < 256; ++v) px[a * 256 + v] = a << 24 | v << 16 | ((v * 7) & 255) << 8 | (255 - v);
    img.SetBits(px.data(), 256, 256);
}

void RandomBits(MemoryImage& img, int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> px(size_t(w) * h);
    uint32_t alpha = 0;
    for (auto& p : px) {
        if (rng() % 9 == 0) alpha = std::array<uint32_t, 4>{0, 255, uint32_t(rng() & 255), 1}[rng() % 4];
        p = alpha << 24 | (rng() & 0xFFFFFF);
    }
    img.SetBits(px.data(), w, h);
}

using Draw = std::function<void(Surface&, Kernels)>;

} // namespace

// The fast loops give the scalar loops' words on every format, for every alpha
// against every channel value, for mixed runs and for palettized sources.
TEST(SurfaceKernels, FastLoopsEqualScalarLoops) {
    MemoryImage exhaustive, random, palettized;
    ExhaustiveBits(exhaustive);
    RandomBits(random, 300, 40, 7);
    RandomBits(palettized, 64, 64, 9);
    {
        uint32_t* b = palettized.GetBits();
        for (int i = 0; i < 64 * 64; ++i) {
            const uint32_t a = (b[i] >> 24) & 0xC0;
            b[i] = (a == 0 ? 0 : (a | 0x3F) << 24) | ((b[i] >> 2) & 0x0F) * 0x111111;
        }
        palettized.BitsChanged();
        ASSERT_TRUE(palettized.Palletize());
    }
    MemoryImage* sources[] = {&exhaustive, &random, &palettized};
    const Color colours[] = {Color::White, Color(255, 160, 80, 200), Color(128, 128, 128, 255),
                             Color(200, 200, 200, 100), Color(255, 255, 255, 254), Color(90, 30, 250, 0)};
    struct Case {
        std::string name;
        std::function<void(Surface&, MemoryImage&, const Color&, Kernels)> draw;
    };
    const Case cases[] = {
        {"alpha", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             BltAlpha(s.view, s.f, 3, 2, NativeOf(m, s.f, false), Rect(1, 0, m.mWidth - 1, m.mHeight), c, false, k);
         }},
        {"alpha-mirror", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             BltAlpha(s.view, s.f, -5, 1, NativeOf(m, s.f, false), Rect(0, 0, m.mWidth, m.mHeight), c, true, k);
         }},
        {"additive", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             BltAdditive(s.view, s.f, 0, 0, NativeOf(m, s.f, true), Rect(0, 0, m.mWidth, m.mHeight), c, false, k);
         }},
        {"additive-mirror", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             BltAdditive(s.view, s.f, 7, 0, NativeOf(m, s.f, true), Rect(0, 3, m.mWidth, m.mHeight - 3), c, true, k);
         }},
        {"opaque-and-keyed", [](Surface& s, MemoryImage& m, const Color&, Kernels k) {
             BltOpaque(s.view, s.f, 0, 0, NativeOf(m, s.f, false), Rect(0, 0, m.mWidth, m.mHeight), true, false, k);
             BltOpaque(s.view, s.f, 9, 4, NativeOf(m, s.f, false), Rect(0, 0, m.mWidth, m.mHeight), false, true, k);
             BltOpaque(s.view, s.f, 130, -3, NativeOf(m, s.f, false), Rect(2, 1, m.mWidth - 2, m.mHeight - 1), false,
                       false, k);
             BltOpaque(s.view, s.f, 200, 300, NativeOf(m, s.f, false), Rect(1, 0, m.mWidth, m.mHeight), true, true, k);
         }},
        {"keyed-runs-from-words", [](Surface& s, MemoryImage& m, const Color&, Kernels k) {
             NativeSource words = NativeOf(m, s.f, false);
             words.native16 = nullptr;
             BltOpaque(s.view, s.f, -7, 5, words, Rect(0, 0, m.mWidth, m.mHeight), true, false, k);
             BltOpaque(s.view, s.f, 100, -2, words, Rect(3, 2, m.mWidth - 3, m.mHeight - 2), true, true, k);
             BltOpaque(s.view, s.f, 250, 250, words, Rect(0, 0, m.mWidth, m.mHeight), false, true, k);
         }},
        {"volatile", [](Surface& s, MemoryImage& m, const Color&, Kernels k) {
             BltVolatile(s.view, s.f, 2, 2, ArgbOf(m), Rect(0, 0, m.mWidth, m.mHeight), false, k);
         }},
        {"stretch", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             StretchNearest(s.view, s.f, NativeOf(m, s.f, false), Rect(0, 0, 250, 200),
                            RectD(0.5, 0, m.mWidth - 1.0, m.mHeight), c, false, false, k);
         }},
        {"stretch-mirror-additive", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             StretchNearest(s.view, s.f, NativeOf(m, s.f, true), Rect(3, 3, 97, 301),
                            RectD(0, 0, m.mWidth, m.mHeight), c, true, true, k);
         }},
        {"stretch-mirror", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             StretchNearest(s.view, s.f, NativeOf(m, s.f, false), Rect(1, 0, 301, 77),
                            RectD(0, 1, m.mWidth, m.mHeight - 1), c, false, true, k);
         }},
        {"rotate", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             for (double angle : {0.0, 0.5, 3.14159265358979 / 2, 2.5, -0.7, 4.0}) {
                 Rotation r{40.5f, 30.25f, Rect(0, 0, m.mWidth, m.mHeight), RectD(0, 0, 320, 320), angle, 20.0f, 30.0f};
                 RotateBilinear(s.view, s.f, ArgbOf(m), r, c, false, k);
                 RotateBilinear(s.view, s.f, ArgbOf(m), r, c, true, k);
             }
         }},
        {"coverage", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             if (m.mWidth != 256) return;
             std::vector<uint8_t> cover(300 * 256);
             for (size_t i = 0; i < cover.size(); ++i) cover[i] = uint8_t(i * 7 + i / 300);
             std::vector<Zephra::Span> spans;
             for (int y = 0; y < 256; ++y) spans.push_back({y + 10, y % 40 - 5, 40 + y});
             FillSpansCoverage(s.view, s.f, spans.data(), int(spans.size()), c, cover.data(), 0, 10, 300, 256, k);
         }},
        {"fill", [](Surface& s, MemoryImage& m, const Color& c, Kernels k) {
             if (m.mWidth != 256) return;   // once per colour is enough
             for (int a = 0; a < 256; ++a) {
                 const Color ca(c.mRed, (c.mGreen + a) & 255, c.mBlue, a);
                 FillRectNormal(s.view, s.f, Rect(a, 0, 61, 320), ca, k);
                 FillRectAdditive(s.view, s.f, Rect(0, a, 317, 3), ca, k);
             }
         }},
    };
    for (const Format& fmt : kFormats) {
        const PixelFormat f = MakePixelFormat(fmt.bits, fmt.r, fmt.g, fmt.b);
        for (const Case& c : cases)
            for (MemoryImage* src : sources)
                for (const Color& colour : colours) {
                    Surface scalar(f, 320, 320);
                    scalar.Pattern(5);
                    c.draw(scalar, *src, colour, Kernels::Scalar);
                    for (Kernels k : {Kernels::Sse2, Kernels::Fast}) {
                        Surface fast(f, 320, 320);
                        fast.Pattern(5);
                        c.draw(fast, *src, colour, k);
                        int diffs = 0;
                        for (int y = 0; y < 320 && diffs == 0; ++y)
                            for (int x = 0; x < 320; ++x)
                                if (scalar.Get(x, y) != fast.Get(x, y)) {
                                    ADD_FAILURE() << fmt.name << " " << c.name << (k == Kernels::Fast ? " widest" : " sse2")
                                                  << " source " << src->mWidth << "x" << src->mHeight << " colour "
                                                  << std::hex << colour.ToInt() << " at " << std::dec << x << "," << y
                                                  << ": scalar " << std::hex << scalar.Get(x, y) << " fast " << fast.Get(x, y);
                                    ++diffs;
                                    break;
                                }
                        // The pitch padding is never written.
                        for (int y = 0; y < 320; ++y)
                            for (int i = 320 * f.bitCount / 8; i < fast.view.pitch; ++i)
                                ASSERT_EQ(fast.mem[size_t(y) * fast.view.pitch + i], 0) << fmt.name << " " << c.name;
                    }
                }
    }
}
