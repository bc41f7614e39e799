#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "framework/graphics/matrix3x3.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/transform_rows.h"
#include "tests/support/raster_loops.h"

using namespace Zephra;

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr double kQuarterTurn = std::numbers::pi / 2;

void Make(MemoryImage& img, int w, int h, const std::vector<uint32_t>& px) {
    ASSERT_EQ(px.size(), size_t(w) * h);
    img.SetBits(px.data(), w, h);
}

void Solid(MemoryImage& img, int w, int h, uint32_t pixel) {
    Make(img, w, h, std::vector<uint32_t>(size_t(w) * h, pixel));
}

uint32_t At(MemoryImage& img, int x, int y) { return img.GetBits()[y * img.mWidth + x]; }

std::vector<uint32_t> Pixels(MemoryImage& img) {
    return std::vector<uint32_t>(img.GetBits(), img.GetBits() + img.mWidth * img.mHeight);
}

// 3 x 2 source: one opaque colour per pixel, red = column, green = row.
void Marked(MemoryImage& img) {
    std::vector<uint32_t> px;
    for (int v = 0; v < 2; ++v)
        for (int u = 0; u < 3; ++u) px.push_back(0xFF000001u | uint32_t(u + 1) << 16 | uint32_t(v + 1) << 8);
    Make(img, 3, 2, px);
}

uint32_t MarkOf(int u, int v) { return 0xFF000001u | uint32_t(u + 1) << 16 | uint32_t(v + 1) << 8; }

} // namespace

TEST(TransformClipHelpers, StretchClipCutsLeftTopAndFailsOnNothing) {
    RectD area;
    Rect clipped;
    // 10 x 10 source doubled into (10, 20, 20, 20); the clip removes 5 pixels left and top.
    ASSERT_TRUE(StretchBltClipHelper(Rect(0, 0, 10, 10), Rect(15, 25, 100, 100), Rect(10, 20, 20, 20), area,
                                     clipped));
    EXPECT_EQ(clipped, Rect(15, 25, 15, 15));
    EXPECT_EQ(area, RectD(2.5, 2.5, 7.5, 7.5));

    EXPECT_FALSE(StretchBltClipHelper(Rect(0, 0, 10, 10), Rect(100, 100, 5, 5), Rect(10, 20, 20, 20), area,
                                      clipped));
    // An empty destination must not divide by zero into a "successful" clip.
    EXPECT_FALSE(StretchBltClipHelper(Rect(0, 0, 10, 10), Rect(0, 0, 50, 50), Rect(5, 5, 0, 10), area, clipped));
}

TEST(TransformClipHelpers, MirrorClipTakesTheRightCutFromTheSourceLeft) {
    RectD area;
    Rect clipped;
    ASSERT_TRUE(StretchBltMirrorClipHelper(Rect(4, 0, 10, 10), Rect(0, 0, 6, 10), Rect(0, 0, 10, 10), area,
                                           clipped));
    EXPECT_EQ(clipped, Rect(0, 0, 6, 10));
    EXPECT_EQ(area, RectD(8, 0, 6, 10));
    ASSERT_TRUE(StretchBltMirrorClipHelper(Rect(4, 0, 10, 10), Rect(4, 0, 6, 10), Rect(0, 0, 10, 10), area,
                                           clipped));
    EXPECT_EQ(area, RectD(4, 0, 6, 10));
}

TEST(TransformClipHelpers, RotatedClipBoundsTheTurnedCorners) {
    RectD area;
    float x = 2.5f, y = 3.0f;
    ASSERT_TRUE(BltRotatedClipHelper(&x, &y, Rect(7, 7, 4, 2), Rect(0, 0, 100, 100), 0.0, area, 1.0f, 1.0f));
    EXPECT_EQ(area, RectD(2.5, 3, 4, 2));
    ASSERT_TRUE(BltRotatedClipHelper(&x, &y, Rect(7, 7, 4, 2), Rect(0, 0, 5, 4), 0.0, area, 1.0f, 1.0f));
    EXPECT_EQ(area, RectD(2.5, 3, 2.5, 1));

    x = 0;
    y = 4;
    ASSERT_TRUE(BltRotatedClipHelper(&x, &y, Rect(0, 0, 4, 2), Rect(0, 0, 100, 100), kQuarterTurn, area, 0, 0));
    EXPECT_NEAR(area.mX, 0, 1e-5);
    EXPECT_NEAR(area.mY, 0, 1e-5);
    EXPECT_NEAR(area.mWidth, 2, 1e-5);
    EXPECT_NEAR(area.mHeight, 4, 1e-5);
    EXPECT_FALSE(BltRotatedClipHelper(&x, &y, Rect(0, 0, 4, 2), Rect(50, 50, 10, 10), 1.0, area, 0, 0));
}

TEST(StretchBlt, FastDoublesACheckerIntoBlocks) {
    MemoryImage src, dst;
    const uint32_t a = 0xFFFF0000u, b = 0xFF00FF00u;
    Make(src, 2, 2, {a, b, b, a});
    Solid(dst, 4, 4, kBlack);
    dst.StretchBlt(&src, Rect(0, 0, 4, 4), Rect(0, 0, 2, 2), Rect(0, 0, 4, 4), Color::White, 0, true);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(dst, x, y), ((x / 2 + y / 2) % 2 ? b : a)) << x << "," << y;
    EXPECT_EQ(src.mDrawn, 1);
}

TEST(StretchBlt, FilteredBlendsNeighboursAndKeepsAUniformColourExact) {
    MemoryImage src, dst;
    Make(src, 2, 1, {0xFF000000u, 0xFFFFFFFFu});
    Solid(dst, 4, 1, 0xFF0000FFu);
    dst.StretchBlt(&src, Rect(0, 0, 4, 1), Rect(0, 0, 2, 1), Rect(0, 0, 4, 1), Color::White, 0, false);
    EXPECT_EQ(At(dst, 0, 0), 0xFF000000u);
    EXPECT_EQ(At(dst, 3, 0), 0xFFFFFFFFu);
    const uint32_t g1 = (At(dst, 1, 0) >> 8) & 0xFF, g2 = (At(dst, 2, 0) >> 8) & 0xFF;
    EXPECT_GT(g1, 0u);
    EXPECT_LT(g1, g2);
    EXPECT_LT(g2, 255u);

    // Enlarging and shrinking by uneven ratios, translucent colour into a clear image.
    const uint32_t uniform = 0x80336699u;
    for (auto [from, to] : {std::pair{3, 7}, std::pair{7, 3}, std::pair{5, 5}}) {
        MemoryImage s, d;
        Solid(s, from, from, uniform);
        Solid(d, to, to, 0);
        d.StretchBlt(&s, Rect(0, 0, to, to), Rect(0, 0, from, from), Rect(0, 0, to, to), Color::White, 0, false);
        EXPECT_EQ(Pixels(d), std::vector<uint32_t>(size_t(to) * to, uniform)) << from << "->" << to;
    }
}

// A stretch to the source's own size takes the plain blit; it must give what
// the filtered stretch (the reference) gives, clipped or not, with every tint,
// in every draw mode (any value but additive draws normally), from every kind
// of source: known opaque (copied whole), keyed, mixed, palettized, claiming
// opacity it does not have, volatile, and the image itself.
TEST(StretchBlt, UnscaledEqualsTheFilteredReference) {
    struct Case {
        Rect src, dest, clip;
    } cases[] = {
        {Rect(0, 0, 37, 23), Rect(5, 4, 37, 23), Rect(0, 0, 64, 48)},
        {Rect(3, 2, 20, 15), Rect(-4, -3, 20, 15), Rect(0, 0, 64, 48)},
        {Rect(0, 0, 37, 23), Rect(30, 30, 37, 23), Rect(10, 32, 40, 9)},
        {Rect(2, 2, 30, 20), Rect(0, 0, 30, 20), Rect(3, 3, 20, 10)},
    };
    const Color colours[] = {Color::White, Color(128, 128, 128, 255), Color(200, 120, 60, 128),
                             Color(255, 255, 255, 77), Color(90, 200, 40, 0), Color(300, -5, 128, 400)};
    enum Kind { Opaque, Keyed, Mixed, Palettized, ClaimsOpaque, Volatile, Itself };
    const char* kindNames[] = {"opaque", "keyed", "mixed", "palettized", "claims opaque", "volatile", "itself"};
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    auto pixels = [&](Kind kind, int count) {
        std::vector<uint32_t> px(static_cast<size_t>(count));
        for (uint32_t& p : px) {
            const uint32_t r = next();
            uint32_t alpha = (r >> 30) == 0 ? 0u : (r >> 30) == 1 ? (r >> 20) & 0xFF : 0xFFu;
            if (kind == Opaque) alpha = 0xFF;
            if (kind == Keyed) alpha = alpha == 0xFF ? 0xFF : 0;
            // Few colours, so that the palette holds them all.
            if (kind == Palettized) alpha = alpha == 0 || alpha == 0xFF ? alpha : 0x80;
            p = alpha << 24 | (kind == Palettized ? (next() >> 8) & 0x030303 : next() >> 8);
        }
        return px;
    };
    std::vector<uint32_t> destPx(64 * 48);
    for (uint32_t& p : destPx) p = 0xFF000000u | (next() >> 8);
    int mismatched = 0;
    for (int kind = Opaque; kind <= Itself; ++kind) {
        const std::vector<uint32_t> srcPx = pixels(Kind(kind), 37 * 23);
        for (const Case& c : cases)
            for (const Color& colour : colours)
                for (int mode : {0, 1, 2, -1})
                    for (bool fast : {false, true}) {
                        MemoryImage src, got, want;
                        Make(got, 64, 48, destPx);
                        Make(want, 64, 48, destPx);
                        MemoryImage* from = &src;
                        MemoryImage* wantFrom = &src;
                        if (kind == Itself) {
                            // Its own top-left corner, drawn elsewhere on it.
                            from = &got;
                            wantFrom = &want;
                        } else {
                            Make(src, 37, 23, srcPx);
                            if (kind == Palettized) {
                                ASSERT_TRUE(src.Palletize());
                            }
                            if (kind == ClaimsOpaque) src.SetTransparencyFlags(false, false);
                            if (kind == Volatile) src.SetVolatile(true);
                        }
                        got.StretchBlt(from, c.dest, c.src, c.clip, colour, mode, fast);
                        RectD area;
                        Rect clipped;
                        ASSERT_TRUE(StretchBltClipHelper(c.src, c.clip.Intersection(Rect(0, 0, 64, 48)), c.dest, area,
                                                         clipped));
                        want.SlowStretchBlt(wantFrom, clipped, area, colour, mode);
                        if (Pixels(got) != Pixels(want) && ++mismatched <= 8)
                            ADD_FAILURE() << kindNames[kind] << ", fast " << fast << ", dest " << c.dest.mX << ","
                                          << c.dest.mY << ", colour " << std::hex << colour.ToInt() << std::dec
                                          << ", mode " << mode;
                    }
    }
    EXPECT_EQ(mismatched, 0);
}

TEST(StretchBlt, FilteredShrinkByHundredsStillAverages) {
    // 182 source pixels per destination pixel: many tiny weights whose rounding
    // must not push any weight below zero.
    MemoryImage src, dst;
    std::vector<uint32_t> stripes;
    for (int i = 0; i < 364; ++i) stripes.push_back(i % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    Make(src, 364, 1, stripes);
    Solid(dst, 2, 1, 0);
    dst.StretchBlt(&src, Rect(0, 0, 2, 1), Rect(0, 0, 364, 1), Rect(0, 0, 2, 1), Color::White, 0, false);
    for (int x = 0; x < 2; ++x) {
        const uint32_t p = At(dst, x, 0);
        EXPECT_EQ(p >> 24, 0xFFu);
        for (int shift : {0, 8, 16}) EXPECT_NEAR(int((p >> shift) & 0xFF), 128, 2) << std::hex << p;
    }
}

TEST(StretchBlt, MirrorReversesRowsAlsoWhenClippedOrOntoItself) {
    const uint32_t A = 0xFF000001u, B = 0xFF000002u, C = 0xFF000003u, D = 0xFF000004u;
    MemoryImage src, dst;
    Make(src, 4, 1, {A, B, C, D});
    Solid(dst, 8, 1, kBlack);
    dst.StretchBltMirror(&src, Rect(0, 0, 8, 1), Rect(0, 0, 4, 1), Rect(0, 0, 8, 1), Color::White, 0, true);
    EXPECT_EQ(Pixels(dst), (std::vector<uint32_t>{D, D, C, C, B, B, A, A}));

    Solid(dst, 4, 1, kBlack);
    dst.StretchBltMirror(&src, Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), Rect(0, 0, 2, 1), Color::White, 0, true);
    EXPECT_EQ(Pixels(dst), (std::vector<uint32_t>{D, C, kBlack, kBlack}));

    // Reading its own pixels while writing them must not mirror half a row twice.
    src.StretchBltMirror(&src, Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), Color::White, 0, true);
    EXPECT_EQ(Pixels(src), (std::vector<uint32_t>{D, C, B, A}));
}

TEST(BltRotated, ZeroAngleCopiesAndQuarterTurnMovesPixels) {
    MemoryImage src, dst;
    Marked(src);
    Solid(dst, 6, 5, kBlack);
    dst.BltRotated(&src, 3, 2, Rect(0, 0, 3, 2), Rect(0, 0, 6, 5), Color::White, 0, 0.0, 1.5f, 1.0f);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 3 && y >= 2 && y < 4;
            EXPECT_EQ(At(dst, x, y), inside ? MarkOf(x - 3, y - 2) : kBlack) << x << "," << y;
        }

    // A quarter turn about the top-left corner, moved down by the width: the
    // top-right source pixel lands top-left, (u, v) goes to (v, 2 - u).
    Solid(dst, 4, 4, kBlack);
    dst.BltRotated(&src, 0, 3, Rect(0, 0, 3, 2), Rect(0, 0, 4, 4), Color::White, 0, kQuarterTurn, 0, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool inside = x < 2 && y < 3;
            EXPECT_EQ(At(dst, x, y), inside ? MarkOf(2 - y, x) : kBlack) << x << "," << y;
        }

    // Clipped to the top row; nothing else changes.
    Solid(dst, 4, 4, kBlack);
    dst.BltRotated(&src, 0, 3, Rect(0, 0, 3, 2), Rect(0, 0, 4, 1), Color::White, 0, kQuarterTurn, 0, 0);
    EXPECT_EQ(At(dst, 0, 0), MarkOf(2, 0));
    EXPECT_EQ(At(dst, 1, 0), MarkOf(2, 1));
    for (int y = 1; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(dst, x, y), kBlack);
}

TEST(BltRotated, AnyAngleCoversTheSourceAreaAndAgreesWithTheMatrixBlit) {
    MemoryImage src, rotated, viaMatrix;
    Solid(src, 10, 10, 0xFFFFFFFFu);
    Solid(rotated, 20, 20, kBlack);
    Solid(viaMatrix, 20, 20, kBlack);
    const double angle = 0.7;
    rotated.BltRotated(&src, 5, 5, Rect(0, 0, 10, 10), Rect(0, 0, 20, 20), Color::White, 0, angle, 5, 5);
    Matrix3x3 m;
    m.Translate(-5, -5);
    m.Rotate(float(angle));
    m.Translate(5, 5);
    viaMatrix.BltMatrix(&src, 5, 5, m, Rect(0, 0, 20, 20), Color::White, 0, Rect(0, 0, 10, 10), true);
    int painted = 0, differing = 0;
    for (int i = 0; i < 400; ++i) {
        painted += rotated.GetBits()[i] != kBlack;
        differing += rotated.GetBits()[i] != viaMatrix.GetBits()[i];
    }
    EXPECT_NEAR(painted, 100, 8);
    EXPECT_LE(differing, 4);
    EXPECT_EQ(At(rotated, 10, 10), 0xFFFFFFFFu);
}

TEST(BltRotated, SourceRectPastTheImageReadsOnlyTheImage) {
    MemoryImage src, dst;
    Solid(src, 2, 2, 0xFFFFFFFFu);
    Solid(dst, 6, 6, kBlack);
    dst.BltRotated(&src, 0, 0, Rect(-2, -2, 6, 6), Rect(0, 0, 6, 6), Color::White, 0, 0.3, 3, 3);
    int painted = 0;
    for (uint32_t p : Pixels(dst)) painted += p != kBlack;
    EXPECT_GT(painted, 0);
    EXPECT_LT(painted, 12);
}

TEST(TransformedBlits, TintAndAdditiveApply) {
    MemoryImage src, dst;
    Solid(src, 2, 2, 0xFF808080u);
    Solid(dst, 2, 2, 0xFF101010u);
    dst.BltRotated(&src, 0, 0, Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), Color(255, 0, 0, 255), 0, 0.0, 0, 0);
    EXPECT_EQ(Pixels(dst), std::vector<uint32_t>(4, 0xFF800000u));

    Solid(dst, 2, 2, 0xFF101010u);
    dst.StretchBlt(&src, Rect(0, 0, 2, 2), Rect(0, 0, 1, 1), Rect(0, 0, 2, 2), Color::White, 1, true);
    EXPECT_EQ(Pixels(dst), std::vector<uint32_t>(4, 0xFF909090u));

    Solid(dst, 2, 2, 0xFFF0F0F0u);
    Matrix3x3 identity;
    dst.BltMatrix(&src, 0, 0, identity, Rect(0, 0, 2, 2), Color(255, 255, 0, 255), 1, Rect(0, 0, 2, 2), true);
    EXPECT_EQ(Pixels(dst), std::vector<uint32_t>(4, 0xFFFFFFF0u));   // saturated red and green
}

TEST(BltMatrix, QuarterTurnMatchesTheRotatedBlitAndScalesInBlocks) {
    MemoryImage src, rotated, viaMatrix;
    Marked(src);
    Solid(rotated, 4, 4, kBlack);
    Solid(viaMatrix, 4, 4, kBlack);
    rotated.BltRotated(&src, 0, 3, Rect(0, 0, 3, 2), Rect(0, 0, 4, 4), Color::White, 0, kQuarterTurn, 0, 0);
    Matrix3x3 m;
    m.Rotate(float(kQuarterTurn));
    viaMatrix.BltMatrix(&src, 0, 3, m, Rect(0, 0, 4, 4), Color::White, 0, Rect(0, 0, 3, 2), true);
    EXPECT_EQ(Pixels(viaMatrix), Pixels(rotated));

    MemoryImage scaled;
    Solid(scaled, 8, 4, kBlack);
    Matrix3x3 s;
    s.Scale(2, 2);
    scaled.BltMatrix(&src, 1, 0, s, Rect(0, 0, 8, 4), Color::White, 0, Rect(0, 0, 3, 2), false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(At(scaled, x, y), x >= 1 && x < 7 ? MarkOf((x - 1) / 2, y / 2) : kBlack) << x << "," << y;
}

TEST(BltMatrixHelper, PacksIntoSixteenBitBuffersWithPitch) {
    MemoryImage src;
    Solid(src, 2, 2, 0xFF336699u);
    Matrix3x3 identity;
    // Rows of 5 pixels, 4 of them in use.
    for (auto [tag, expected] : {std::pair{0x565, 0x3333}, std::pair{0x555, 0x1993}}) {
        std::vector<uint16_t> buf(5 * 4, 0xF800);
        BltMatrixHelper(&src, 1, 1, identity, Rect(0, 0, 4, 4), Color::White, 0, Rect(0, 0, 2, 2), buf.data(),
                        10, tag, false);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
                EXPECT_EQ(buf[size_t(y) * 5 + x], inside ? expected : 0xF800) << std::hex << tag << " " << x << "," << y;
            }
    }
    // Half-transparent black over 565 red: unpacked, blended, packed back.
    Solid(src, 1, 1, 0x80000000u);
    std::vector<uint16_t> buf(1, 0xF800);
    BltMatrixHelper(&src, 0, 0, identity, Rect(0, 0, 1, 1), Color::White, 0, Rect(0, 0, 1, 1), buf.data(), 2,
                    0x565, false);
    EXPECT_EQ(buf[0], 0x7800);
}

TEST(BltTrianglesTex, TwoTrianglesFillTheirRectOnce) {
    MemoryImage tex, dst;
    Solid(tex, 4, 4, 0xFFFFFFFFu);
    Solid(dst, 6, 6, kBlack);
    // Pixel centres on the shared diagonal: the fill rule gives each to one triangle.
    const TriVertex tris[2][3] = {
        {{0, 0, 0, 0}, {4, 0, 1, 0}, {4, 4, 1, 1}},
        {{0, 0, 0, 0}, {4, 4, 1, 1}, {0, 4, 0, 1}},
    };
    dst.BltTrianglesTex(&tex, tris, 2, Rect(0, 0, 6, 6), Color(255, 255, 255, 128), 0, 1, 1, false);
    const uint32_t once = At(dst, 1, 1);
    EXPECT_NE(once, kBlack);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 5 && y >= 1 && y < 5;
            EXPECT_EQ(At(dst, x, y), inside ? once : kBlack) << x << "," << y;
        }
}

TEST(BltTrianglesTex, MapsTheTextureAndTintsByVertexColour) {
    MemoryImage tex, dst;
    const uint32_t a = 0xFFFF0000u, b = 0xFF00FF00u, c = 0xFF0000FFu, d = 0xFFFFFFFFu;
    Make(tex, 2, 2, {a, b, c, d});
    Solid(dst, 4, 4, kBlack);
    const TriVertex tris[2][3] = {
        {{0, 0, 0, 0}, {4, 0, 1, 0}, {4, 4, 1, 1}},
        {{0, 0, 0, 0}, {4, 4, 1, 1}, {0, 4, 0, 1}},
    };
    dst.BltTrianglesTex(&tex, tris, 2, Rect(0, 0, 4, 4), Color::White, 0, 0, 0, false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(dst, x, y), (y < 2 ? (x < 2 ? a : b) : (x < 2 ? c : d)));

    // Vertex colour times the call's colour: white texture, red vertices, half green call colour.
    MemoryImage white, out;
    Solid(white, 2, 2, 0xFFFFFFFFu);
    Solid(out, 4, 4, 0);
    TriVertex tinted[1][3] = {{{0, 0, 0, 0, 0xFFFF8000u}, {4, 0, 1, 0, 0xFFFF8000u}, {0, 4, 0, 1, 0xFFFF8000u}}};
    out.BltTrianglesTex(&white, tinted, 1, Rect(0, 0, 4, 4), Color(255, 128, 255, 255), 0, 0, 0, true);
    EXPECT_EQ(At(out, 0, 0), 0xFFFF4000u);
}

TEST(BltTrianglesTex, BlendsDifferingVertexColoursAcrossTheTriangle) {
    MemoryImage white, out;
    Solid(white, 2, 2, 0xFFFFFFFFu);
    Solid(out, 4, 4, kBlack);
    const TriVertex tris[1][3] = {{{0, 0, 0, 0, 0xFFFF0000u}, {4, 0, 1, 0, 0xFF0000FFu}, {0, 4, 0, 1, 0xFFFF0000u}}};
    out.BltTrianglesTex(&white, tris, 1, Rect(0, 0, 4, 4), Color::White, 0, 0, 0, true);
    int lastRed = 256, lastBlue = -1;
    for (int x = 0; x < 3; ++x) {
        const int red = int((At(out, x, 0) >> 16) & 0xFF), blue = int(At(out, x, 0) & 0xFF);
        EXPECT_LT(red, lastRed);
        EXPECT_GT(blue, lastBlue);
        EXPECT_NEAR(red + blue, 255, 2);
        lastRed = red;
        lastBlue = blue;
    }
    EXPECT_EQ(At(out, 3, 3), kBlack);
}

TEST(Matrix3x3Ops, ComposeInCallOrder) {
    Matrix3x3 m;
    m.Translate(1, 2);
    m.Scale(2, 3);   // applied after the translation
    FPoint p = m.TransformPoint(FPoint{1, 1});
    EXPECT_FLOAT_EQ(p.mX, 4);
    EXPECT_FLOAT_EQ(p.mY, 9);

    Matrix3x3 r;
    r.Rotate(float(kQuarterTurn));   // (u, v) -> (u cos + v sin, v cos - u sin)
    p = r.TransformPoint(FPoint{1, 0});
    EXPECT_NEAR(p.mX, 0, 1e-6);
    EXPECT_NEAR(p.mY, -1, 1e-6);

    const Matrix3x3 product = r * m;
    p = product.TransformPoint(FPoint{1, 1});
    EXPECT_NEAR(p.mX, 9, 1e-5);
    EXPECT_NEAR(p.mY, -4, 1e-5);

    m.LoadIdentity();
    EXPECT_EQ(std::vector<float>(m.m, m.m + 9), (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

namespace {

// Pixels of every alpha class: clear, opaque, translucent, and runs that share
// one alpha (the plain mean) beside runs that do not (the alpha-weighted one).
std::vector<uint32_t> MixedPixels(int count, uint32_t seed) {
    std::vector<uint32_t> px(size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const uint32_t kind = (seed >> 28) % 5;
        const uint32_t alpha = kind == 0 ? 0 : kind == 1 ? 255 : kind == 2 ? 128 : (seed >> 8) & 0xFF;
        px[size_t(i)] = alpha << 24 | ((seed * 2654435761u) >> 8);
    }
    return px;
}

} // namespace

// The wide rotation and matrix loops draw what the plain ones draw, in both
// draw modes, tinted or not, clipped, at the source's edges, with source
// rectangles inside and past the image, at angles that read runs of every
// length, over opaque, clear and translucent destinations.
TEST(TransformedBlits, WideLoopsDrawWhatThePlainLoopsDraw) {
    struct Case {
        const char* what;
        Rect src, clip;
        float x, y;
        double angle;
        float cx, cy;
        Color color;
        int drawMode;
    } cases[] = {
        {"30 degrees", Rect(0, 0, 61, 47), Rect(0, 0, 96, 80), 12, 9, 0.5236, 30, 23, Color::White, 0},
        {"additive", Rect(0, 0, 61, 47), Rect(0, 0, 96, 80), 12, 9, 0.5236, 30, 23, Color::White, 1},
        {"tinted", Rect(0, 0, 61, 47), Rect(0, 0, 96, 80), 12, 9, -1.1, 30, 23, Color(200, 120, 60, 190), 0},
        {"tinted additive", Rect(5, 3, 40, 30), Rect(0, 0, 96, 80), 20, 20, 2.0, 0, 0, Color(90, 255, 40, 128), 1},
        {"clipped", Rect(0, 0, 61, 47), Rect(17, 11, 33, 29), 12, 9, 0.3, 30, 23, Color::White, 0},
        {"past the image", Rect(-6, -4, 75, 58), Rect(0, 0, 96, 80), 10, 8, 0.9, 37, 29, Color::White, 0},
        {"past the frame", Rect(0, 0, 61, 47), Rect(0, 0, 96, 80), -30, 50, 0.2, 30, 23, Color::White, 0},
        {"almost square", Rect(0, 0, 61, 47), Rect(0, 0, 96, 80), 15, 15, 0.0001, 0, 0, Color::White, 0},
        {"quarter turn", Rect(0, 0, 61, 47), Rect(0, 0, 96, 80), 20, 70, kQuarterTurn, 0, 0, Color::White, 0},
        {"narrow", Rect(10, 0, 3, 47), Rect(0, 0, 96, 80), 40, 10, 0.05, 1, 23, Color::White, 0},
    };
    const std::vector<uint32_t> srcPx = MixedPixels(61 * 47, 5), destPx = MixedPixels(96 * 80, 9);
    for (const Case& c : cases) {
        std::vector<uint32_t> want;
        std::vector<uint32_t> wantMatrix;
        testsupport::ForEachLoops([&](raster::Loops loops) {
            MemoryImage src, dst, viaMatrix;
            Make(src, 61, 47, srcPx);
            Make(dst, 96, 80, destPx);
            Make(viaMatrix, 96, 80, destPx);
            dst.BltRotated(&src, c.x, c.y, c.src, c.clip, c.color, c.drawMode, c.angle, c.cx, c.cy);
            Matrix3x3 m;
            m.Translate(-c.cx, -c.cy);
            m.Rotate(float(c.angle));
            m.Scale(1.3f, 0.8f);
            m.Translate(c.cx, c.cy);
            viaMatrix.BltMatrix(&src, c.x, c.y, m, c.clip, c.color, c.drawMode, c.src, true);
            if (loops == raster::Loops::Reference) {
                want = Pixels(dst);
                wantMatrix = Pixels(viaMatrix);
                return;
            }
            EXPECT_EQ(Pixels(dst), want) << c.what << ", " << testsupport::LoopsName(loops);
            EXPECT_EQ(Pixels(viaMatrix), wantMatrix) << c.what << ", matrix, " << testsupport::LoopsName(loops);
        });
    }

    // Onto itself: the wide loop reads the snapshot as the plain one does.
    std::vector<uint32_t> want;
    testsupport::ForEachLoops([&](raster::Loops loops) {
        MemoryImage self;
        Make(self, 61, 47, srcPx);
        self.BltRotated(&self, 3, 2, Rect(0, 0, 61, 47), Rect(0, 0, 61, 47), Color::White, 0, 0.4, 30, 23);
        if (loops == raster::Loops::Reference)
            want = Pixels(self);
        else
            EXPECT_EQ(Pixels(self), want) << "onto itself, " << testsupport::LoopsName(loops);
    });
}

// Footprints whose alpha-weighted quotients lie so near a whole number that
// the wide loop's estimate lands one off either way and must be put right.
// Drawn onto a clear image, where the normal blend keeps each sample as it is.
TEST(TransformedBlits, WideLoopsRoundEveryQuotientAsThePlainLoopsDo) {
    struct Case {
        uint32_t c00, c10, c01, c11;
        int fu, fv;   // 1/256 of a texel
    } cases[] = {
        {0xFDEAEE9Au, 0xE379743Cu, 0xE93374A0u, 0xDE85E2D2u, 46, 247},   // estimate one above
        {0xF935DA83u, 0xC3ADB315u, 0x17DDCF40u, 0x46C73A6Cu, 181, 8},
        {0xDAE97B83u, 0x148E49BCu, 0x49183156u, 0x70C7A727u, 253, 139},   // estimate one below
        {0x0ED4C9F3u, 0x9ACF9E13u, 0x7426E2BBu, 0xF190DFF9u, 179, 55},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> px;
        for (int row = 0; row < 2; ++row)
            for (int x = 0; x < 18; ++x) px.push_back(row == 0 ? (x % 2 ? c.c10 : c.c00) : (x % 2 ? c.c11 : c.c01));
        std::vector<uint32_t> want;
        testsupport::ForEachLoops([&](raster::Loops loops) {
            MemoryImage src, dst;
            Make(src, 18, 2, px);
            Solid(dst, 16, 1, 0);
            dst.BltMatrix(&src, -c.fu / 256.0f, -c.fv / 256.0f, Matrix3x3(), Rect(0, 0, 16, 1), Color::White, 0,
                          Rect(0, 0, 18, 2), true);
            if (loops == raster::Loops::Reference)
                want = Pixels(dst);
            else
                EXPECT_EQ(Pixels(dst), want) << std::hex << c.c00 << " " << testsupport::LoopsName(loops);
        });
    }
}

// The wide filtered stretch and the nearest-pixel row loops (plain and
// mirrored) draw what the plain loops draw: enlarging,
// shrinking and both at once, by even and uneven ratios, clipped, past the
// frame, tinted, in both draw modes, over opaque, clear and translucent
// pixels and over a wholly opaque picture (blended as the samples are made),
// in rows shorter and longer than the wide loop's strips of columns.
TEST(StretchBlt, WideLoopsDrawWhatThePlainLoopsDraw) {
    struct Case {
        const char* what;
        Rect src, dest, clip;
        Color color;
        int drawMode;
        bool overOpaque = false;
    } cases[] = {
        {"twice and a half", Rect(0, 0, 37, 23), Rect(3, 2, 74, 35), Rect(0, 0, 300, 90), Color::White, 0},
        {"uneven", Rect(5, 4, 29, 17), Rect(1, 6, 90, 61), Rect(0, 0, 300, 90), Color::White, 0},
        {"additive", Rect(0, 0, 37, 23), Rect(3, 2, 74, 35), Rect(0, 0, 300, 90), Color::White, 1},
        {"tinted", Rect(0, 0, 37, 23), Rect(3, 2, 74, 35), Rect(0, 0, 300, 90), Color(200, 120, 60, 190), 0},
        {"tinted additive", Rect(0, 0, 37, 23), Rect(3, 2, 74, 35), Rect(0, 0, 300, 90), Color(90, 255, 40, 128), 1},
        {"shrinking", Rect(0, 0, 37, 23), Rect(2, 3, 13, 9), Rect(0, 0, 300, 90), Color::White, 0},
        {"wider, shorter", Rect(0, 0, 37, 23), Rect(0, 10, 91, 7), Rect(0, 0, 300, 90), Color::White, 0},
        {"narrower, taller", Rect(0, 0, 37, 23), Rect(10, 0, 11, 77), Rect(0, 0, 300, 90), Color::White, 1},
        {"one column", Rect(0, 0, 37, 23), Rect(4, 4, 1, 60), Rect(0, 0, 300, 90), Color::White, 0},
        {"clipped", Rect(0, 0, 37, 23), Rect(-20, -9, 130, 99), Rect(13, 7, 51, 33), Color::White, 0},
        {"one source pixel", Rect(36, 22, 1, 1), Rect(9, 9, 17, 13), Rect(0, 0, 300, 90), Color::White, 0},
        {"many strips", Rect(0, 0, 37, 23), Rect(3, 1, 293, 70), Rect(0, 0, 300, 90), Color(255, 255, 255, 200), 0},
        {"many strips, shrinking down", Rect(0, 0, 37, 23), Rect(0, 5, 297, 11), Rect(0, 0, 300, 90), Color::White, 1},
        {"strips clipped", Rect(2, 1, 33, 20), Rect(-40, 0, 380, 88), Rect(5, 3, 271, 80), Color::White, 0},
        {"many strips, shrinking across", Rect(0, 0, 290, 23), Rect(2, 2, 150, 30), Rect(0, 0, 300, 90),
         Color::White, 0},
        {"over opaque", Rect(0, 0, 37, 23), Rect(3, 2, 74, 35), Rect(0, 0, 300, 90), Color::White, 0, true},
        {"over opaque, many strips", Rect(2, 1, 33, 20), Rect(-40, 0, 380, 88), Rect(5, 3, 271, 80), Color::White, 0,
         true},
        {"over opaque, shrinking", Rect(0, 0, 290, 23), Rect(2, 2, 150, 30), Rect(0, 0, 300, 90), Color::White, 0,
         true},
    };
    const std::vector<uint32_t> srcPx = MixedPixels(300 * 23, 21), destPx = MixedPixels(300 * 90, 23);
    std::vector<uint32_t> opaquePx = destPx;
    for (uint32_t& p : opaquePx) p |= 0xFF000000u;
    for (const Case& c : cases) {
        std::vector<uint32_t> want;
        testsupport::ForEachLoops([&](raster::Loops loops) {
            MemoryImage src, dst, nearest, mirrored;
            Make(src, 300, 23, srcPx);
            Make(dst, 300, 90, c.overOpaque ? opaquePx : destPx);
            Make(nearest, 300, 90, c.overOpaque ? opaquePx : destPx);
            Make(mirrored, 300, 90, c.overOpaque ? opaquePx : destPx);
            dst.StretchBlt(&src, c.dest, c.src, c.clip, c.color, c.drawMode, false);
            nearest.StretchBlt(&src, c.dest, c.src, c.clip, c.color, c.drawMode, true);
            mirrored.StretchBltMirror(&src, c.dest, c.src, c.clip, c.color, c.drawMode, true);
            std::vector<uint32_t> got = Pixels(dst);
            for (MemoryImage* img : {&nearest, &mirrored}) {
                const std::vector<uint32_t> more = Pixels(*img);
                got.insert(got.end(), more.begin(), more.end());
            }
            if (loops == raster::Loops::Reference)
                want = got;
            else
                EXPECT_EQ(got, want) << c.what << ", " << testsupport::LoopsName(loops);
        });
    }

    // Weighted means that land exactly on a half must round up in the wide
    // loop too; a clear destination keeps each sample as it is.
    std::vector<uint32_t> want;
    testsupport::ForEachLoops([&](raster::Loops loops) {
        MemoryImage src, dst;
        Make(src, 2, 1, {0x07030201u, 0x93010203u});
        Solid(dst, 8, 6, 0);
        dst.StretchBlt(&src, Rect(0, 0, 8, 6), Rect(0, 0, 2, 1), Rect(0, 0, 8, 6), Color::White, 0, false);
        if (loops == raster::Loops::Reference)
            want = Pixels(dst);
        else
            EXPECT_EQ(Pixels(dst), want) << "means on a half, " << testsupport::LoopsName(loops);
    });
}

// The wide down pass resolves every sum as the plain loop does: alpha
// (A + 2^23) >> 24 and each channel floor((C + floor(A / 2)) / A), 0 where A
// is 0. Every quotient of small totals; for totals up to the largest, sums on
// and beside each half-way point, where an estimate would tip; eight opaque
// totals at once, which take a fixed inverse.
TEST(StretchBlt, WideDownPassRoundsEveryQuotient) {
    raster::SetWidestLoops(raster::Loops::Avx2);
    if (raster::WidestLoops() != raster::Loops::Avx2) GTEST_SKIP() << "no AVX2 with fused multiply-add";
    struct Sum {
        uint64_t a, c;
    };
    constexpr uint64_t kOpaque = 255ull << 24;
    uint64_t seed = 77;
    auto random = [&](uint64_t below) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return (seed >> 16) % below;
    };
    std::vector<Sum> small, halves, opaque;
    for (uint64_t a = 0; a <= 48; ++a)
        for (uint64_t c = 0; c <= 255 * a; ++c) small.push_back({a, c});
    for (int k = 0; k < 40000; ++k) {
        const uint64_t a = k % 4 == 0 ? kOpaque - random(64) : 1 + random(kOpaque);
        const uint64_t m = 1 + random(255);
        for (int64_t d : {-2, -1, 0, 1})
            halves.push_back({a, uint64_t(std::clamp(int64_t(m * a - (a + 1) / 2) + d, int64_t(0), int64_t(255 * a)))});
        // Alphas on either side of their own half-way point.
        const uint64_t rounding = random(255) << 24 | (random(2) ? 0x800000 : 0x7FFFFF);
        halves.push_back({rounding, random(255 * rounding + 1)});
    }
    for (int k = 0; k < 4096; ++k) {
        const uint64_t m = 1 + random(255);
        opaque.push_back({kOpaque, m * kOpaque - kOpaque / 2 + random(3) - 1});
    }
    struct Case {
        const char* what;
        const std::vector<Sum>& sums;
    } cases[] = {{"small totals", small}, {"half-way points", halves}, {"opaque", opaque}};
    for (const Case& c : cases) {
        // Each sum as every channel in turn, the other two 0; eight a group.
        const size_t n = (c.sums.size() + 7) & ~size_t(7);
        std::vector<double> a(n, 0), r(n, 0), g(n, 0), b(n, 0);
        std::vector<uint32_t> want(n, 0);
        for (size_t i = 0; i < c.sums.size(); ++i) {
            const Sum& s = c.sums[i];
            a[i] = double(s.a);
            (i % 3 == 0 ? r : i % 3 == 1 ? g : b)[i] = double(s.c);
            if (s.a == 0) continue;
            auto quotient = [&](uint64_t v) { return uint32_t((v + s.a / 2) / s.a); };
            const uint32_t q = quotient(s.c), zero = quotient(0);
            want[i] = uint32_t((s.a + (1u << 23)) >> 24) << 24 | (i % 3 == 0 ? q : zero) << 16 |
                      (i % 3 == 1 ? q : zero) << 8 | (i % 3 == 2 ? q : zero);
        }
        const raster::AcrossSums rows{a.data(), r.data(), g.data(), b.data(), 1.0};
        std::vector<uint32_t> got(n, 1);
        raster::StretchDownAvx2(&rows, 1, int(n), got.data());
        for (size_t i = 0; i < c.sums.size(); ++i)
            ASSERT_EQ(got[i], want[i]) << c.what << ": A " << c.sums[i].a << ", C " << c.sums[i].c;
    }
}
