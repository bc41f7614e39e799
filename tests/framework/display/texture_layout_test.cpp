#include <gtest/gtest.h>

#include <string>

#include "framework/display/texture_layout.h"
#include "framework/graphics/memory_image.h"

namespace {

using namespace Zephra;

std::string Sizes(const PieceGrid& g) {
    std::string s;
    for (const TexturePiece& p : g.pieces) s += std::to_string(p.width) + "x" + std::to_string(p.height) + " ";
    return s;
}

TEST(TextureLayout, PiecesRespectTheDeviceLimits) {
    const TextureLimits big = MakeTextureLimits(1, 1, 2048, 2048, 0);
    const TextureLimits none = MakeTextureLimits(8, 8, 0, 512, 4);   // max width 0: 64 x 64, aspect 1
    const TextureLimits narrow = MakeTextureLimits(1, 1, 1024, 1024, 2);
    struct Case {
        const char* name;
        TextureLimits limits;
        int w, h;
        uint32_t flags;
        int pieceW, pieceH, across, down;
        float maxU;
        const char* sizes;
    };
    const Case cases[] = {
        {"300 x 100", big, 300, 100, 0, 256, 128, 2, 1, 1.171875f, "256x128 64x128 "},
        {"100 x 100 in one piece", big, 100, 100, 0, 128, 128, 1, 1, 100.f / 128, "128x128 "},
        {"device without a maximum", none, 300, 100, 0, 64, 64, 5, 2, 300.f / 64, "64x64 64x64 64x64 64x64 64x64 64x64 64x64 64x64 64x64 64x64 "},
        {"fixed 64", big, 130, 60, TEXFLAG_FIXED_64, 64, 64, 3, 1, 130.f / 64, "64x64 64x64 64x64 "},
        {"powers of two", big, 300, 70, TEXFLAG_POW2_PIECES, 512, 128, 1, 1, 300.f / 512, "512x128 "},
        {"wider than the maximum", big, 2500, 64, 0, 1024, 64, 3, 1, 2500.f / 1024, "1024x64 1024x64 512x64 "},
        {"aspect limit", narrow, 1000, 10, 0, 1024, 512, 1, 1, 1000.f / 1024, "1024x512 "},
    };
    for (const Case& k : cases) {
        PieceGrid g = LayoutPieces(k.limits, k.w, k.h, k.flags);
        EXPECT_EQ(g.pieceWidth, k.pieceW) << k.name;
        EXPECT_EQ(g.pieceHeight, k.pieceH) << k.name;
        EXPECT_EQ(g.across, k.across) << k.name;
        EXPECT_EQ(g.down, k.down) << k.name;
        EXPECT_FLOAT_EQ(g.maxU, k.maxU) << k.name;
        EXPECT_EQ(Sizes(g), k.sizes) << k.name;
    }
    EXPECT_EQ(none.maxAspect, 1);
    EXPECT_EQ(none.minWidth, 64);
    EXPECT_EQ(big.maxAspect, 65536);
    EXPECT_EQ(big.maxWidth, 1024);
}

TEST(TextureLayout, LookupFindsThePieceAndItsCoordinates) {
    const PieceGrid g = LayoutPieces(MakeTextureLimits(1, 1, 1024, 1024, 0), 300, 100, 0);   // 256 + 64 across
    struct Case { const char* name; int x, y, w, h; int index, outW, outH; float left, right, top, bottom; };
    const Case cases[] = {
        {"on the boundary", 256, 0, 44, 100, 1, 44, 100, 0.f, 44.f / 64, 0.f, 100.f / 128},
        {"cut at the piece", 100, 20, 200, 10, 0, 156, 10, 100.f / 256, 1.f, 20.f / 128, 30.f / 128},
        {"outside", 400, 0, 10, 10, -1, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& k : cases) {
        PieceArea a = LookupPiece(g, k.x, k.y, k.w, k.h);
        EXPECT_EQ(a.index, k.index) << k.name;
        EXPECT_EQ(a.width, k.outW) << k.name;
        EXPECT_EQ(a.height, k.outH) << k.name;
        EXPECT_FLOAT_EQ(a.left, k.left) << k.name;
        EXPECT_FLOAT_EQ(a.right, k.right) << k.name;
        EXPECT_FLOAT_EQ(a.top, k.top) << k.name;
        EXPECT_FLOAT_EQ(a.bottom, k.bottom) << k.name;
    }
}

} // namespace
