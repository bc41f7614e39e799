#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "platform/directx/d3d_raster.h"
#include "platform/directx/d3d_texels.h"

namespace {

using namespace platform::d3d;

constexpr Path kPaths[] = {Path::Fast, Path::Sse2, Path::Reference};
int Pick(std::mt19937& rng, int n) { return int(rng() % uint32_t(n)); }
const char* PathName(Path p) { return p == Path::Fast ? "fast" : p == Path::Sse2 ? "sse2" : "reference"; }

int BytesPerPixel(TargetLayout l) {
    return l == TargetLayout::ARGB8888 || l == TargetLayout::ABGR8888 ? 4 : l == TargetLayout::RGB888 ? 3 : 2;
}

// A render target with padded rows, so that writes past a row's end show.
struct Canvas {
    int width, height, pitch;
    TargetLayout layout;
    std::vector<uint8_t> bytes;
    Canvas(int w, int h, TargetLayout l = TargetLayout::ARGB8888)
        : width(w), height(h), pitch(w * BytesPerPixel(l) + 8), layout(l), bytes(size_t(pitch) * h, 0) {}
    Target target() { return Target{bytes.data(), pitch, width, height, layout}; }
    uint32_t at(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, bytes.data() + size_t(y) * pitch + size_t(x) * BytesPerPixel(layout), BytesPerPixel(layout));
        return v;
    }
    void set(int x, int y, uint32_t v) {
        std::memcpy(bytes.data() + size_t(y) * pitch + size_t(x) * BytesPerPixel(layout), &v, BytesPerPixel(layout));
    }
};

// Each channel of two pixels at most one level apart.
bool WithinOneLevel(TargetLayout layout, uint32_t p, uint32_t q) {
    const int shifts32[] = {0, 8, 16, 24}, shifts565[] = {0, 5, 11};
    const int widths565[] = {5, 6, 5};
    const bool wide = BytesPerPixel(layout) == 4;
    for (int i = 0; i < (wide ? 4 : 3); ++i) {
        const int shift = wide ? shifts32[i] : shifts565[i];
        const uint32_t mask = wide ? 0xFF : (1u << widths565[i]) - 1;
        const int a = int(p >> shift & mask), b = int(q >> shift & mask);
        if (std::abs(a - b) > 1) return false;
    }
    return true;
}

Vertex V(float x, float y, float u = 0, float v = 0, uint32_t diffuse = 0xFFFFFFFF) {
    return MakeVertex(x, y, u, v, diffuse);
}

RasterState AdditiveState() {
    RasterState s;
    s.blend = true;
    s.srcBlend = BlendFactor::One;
    s.destBlend = BlendFactor::One;
    s.alphaOp = StageOp::Modulate;   // counts in all four channels
    return s;
}

// A mesh of a rectangle's cells, two triangles each with alternating diagonals
// and windings; inner points sit on and off pixel centres. Added up with ONE/ONE,
// every pixel centre inside the rectangle (or on its top or left side) is drawn
// exactly once and nothing outside.
TEST(D3DRaster, SharedEdgesDrawEachPixelOnce) {
    const float x0 = 2.25f, y0 = 3.5f, step = 4.f;
    const int cols = 14, rows = 9;
    const float jitter[] = {0.f, 0.5f, 0.25f, -0.375f, 1.f};
    auto point = [&](int i, int j) {
        float x = x0 + step * i, y = y0 + step * j;
        if (i > 0 && i < cols && j > 0 && j < rows) {
            x = std::floor(x) + jitter[(i * 3 + j) % 5];
            y = std::floor(y) + jitter[(i + j * 2) % 5];
        }
        return std::pair(x, y);
    };
    const float x1 = x0 + step * cols, y1 = y0 + step * rows;
    for (Path path : kPaths) {
        Canvas c(70, 50);
        RasterState s = AdditiveState();
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < cols; ++i) {
                auto [ax, ay] = point(i, j);
                auto [bx, by] = point(i + 1, j);
                auto [cx, cy] = point(i + 1, j + 1);
                auto [dx, dy] = point(i, j + 1);
                const uint32_t one = 0x01010101;
                if ((i + j) % 2) {
                    DrawTriangle(c.target(), s, nullptr, V(ax, ay, 0, 0, one), V(bx, by, 0, 0, one), V(cx, cy, 0, 0, one), path);
                    DrawTriangle(c.target(), s, nullptr, V(ax, ay, 0, 0, one), V(dx, dy, 0, 0, one), V(cx, cy, 0, 0, one), path);
                } else {
                    DrawTriangle(c.target(), s, nullptr, V(ax, ay, 0, 0, one), V(bx, by, 0, 0, one), V(dx, dy, 0, 0, one), path);
                    DrawTriangle(c.target(), s, nullptr, V(bx, by, 0, 0, one), V(dx, dy, 0, 0, one), V(cx, cy, 0, 0, one), path);
                }
            }
        int wrong = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
                uint32_t want = inside ? 0x01010101u : 0u;
                if (c.at(x, y) != want && ++wrong < 5)
                    ADD_FAILURE() << PathName(path) << " pixel " << x << "," << y << " = " << std::hex << c.at(x, y);
            }
        EXPECT_EQ(wrong, 0) << PathName(path);
    }
}

// A quad placed half a pixel up and left shows each texel on one pixel, with
// either filter; coordinates beyond the texture clamp to its edge.
TEST(D3DRaster, TexelsMapOneToOneAtPixelCentres) {
    const int n = 16;
    std::vector<uint32_t> texels(n * n);
    for (int i = 0; i < n * n; ++i) texels[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
    Texture tex{texels.data(), n, n};
    struct Case { bool linear; int x, y; float uMax; };
    const Case cases[] = {{false, 10, 7, 1.f}, {true, 10, 7, 1.f}, {false, -3, 4, 1.f}, {true, 5, 5, 1.f}};
    for (const Case& k : cases)
        for (Path path : kPaths) {
            Canvas c(40, 30);
            RasterState s;
            s.linear = k.linear;
            float l = k.x - 0.5f, t = k.y - 0.5f, r = l + n, b = t + n;
            Vertex q[4] = {V(l, t, 0, 0), V(r, t, k.uMax, 0), V(l, b, 0, 1), V(r, b, k.uMax, 1)};
            DrawTriangle(c.target(), s, &tex, q[0], q[1], q[2], path);
            DrawTriangle(c.target(), s, &tex, q[1], q[2], q[3], path);
            int wrong = 0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x) {
                    int tx = x - k.x, ty = y - k.y;
                    uint32_t want = (tx >= 0 && tx < n && ty >= 0 && ty < n) ? texels[ty * n + tx] : 0;
                    if (c.at(x, y) != want) ++wrong;
                }
            EXPECT_EQ(wrong, 0) << "linear " << k.linear << " at " << k.x << "," << k.y << " " << PathName(path);
        }
}

// Each blend on known colours, through a 1x1 texture and a diffuse tint.
TEST(D3DRaster, BlendsGiveKnownColours) {
    struct Case {
        const char* name;
        TargetLayout layout;
        bool blend;
        BlendFactor src, dst;
        StageOp alphaOp;
        uint32_t dest, texel, diffuse, want;
    };
    using L = TargetLayout;
    using F = BlendFactor;
    const Case cases[] = {
        {"alpha 32", L::ARGB8888, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::SelectTexture, 0xFF0000FF, 0x80FF0000, 0xFFFFFFFF, 0xBF80007F},
        {"alpha modulated", L::ARGB8888, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::Modulate, 0xFF0000FF, 0xFFFF0000, 0x80FFFFFF, 0xBF80007F},
        {"alpha 0 keeps", L::ARGB8888, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::SelectTexture, 0x12345678, 0x00FFFFFF, 0xFFFFFFFF, 0x12345678},
        {"additive", L::ARGB8888, true, F::One, F::One, StageOp::SelectTexture, 0xFF404040, 0xFF404040, 0xFFFFFFFF, 0xFF808080},
        {"additive saturates", L::ARGB8888, true, F::One, F::One, StageOp::SelectTexture, 0xFFC0C0C0, 0xFF808080, 0xFFFFFFFF, 0xFFFFFFFF},
        {"alpha add", L::ARGB8888, true, F::SrcAlpha, F::One, StageOp::SelectTexture, 0xFF404040, 0x80808080, 0xFFFFFFFF, 0xFF808080},
        {"opaque tinted", L::ARGB8888, false, F::One, F::Zero, StageOp::SelectTexture, 0xFF000000, 0xFFFF8040, 0x80808080, 0xFF804020},
        {"dest colour", L::ARGB8888, true, F::DestColor, F::Zero, StageOp::SelectTexture, 0xFF804020, 0xFF808080, 0xFFFFFFFF, 0xFF402010},
        {"alpha 565", L::RGB565, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::SelectTexture, 0x001F, 0x80FF0000, 0xFFFFFFFF, 0x800F},
        {"alpha 555", L::RGB555, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::SelectTexture, 0x001F, 0x80FF0000, 0xFFFFFFFF, 0x400F},
        {"alpha bgr 565", L::BGR565, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::SelectTexture, 0xF800, 0x80FF0000, 0xFFFFFFFF, 0x7810},
        {"alpha abgr", L::ABGR8888, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::SelectTexture, 0xFFFF0000, 0x80FF0000, 0xFFFFFFFF, 0xBF7F0080},
        {"alpha 24-bit", L::RGB888, true, F::SrcAlpha, F::InvSrcAlpha, StageOp::SelectTexture, 0x0000FF, 0x80FF0000, 0xFFFFFFFF, 0x80007F},
        {"additive 565", L::RGB565, true, F::One, F::One, StageOp::SelectTexture, 0x4208, 0xFF404040, 0xFFFFFFFF, 0x8410},
    };
    for (const Case& k : cases)
        for (Path path : kPaths) {
            Canvas c(4, 4, k.layout);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) c.set(x, y, k.dest);
            uint32_t texel = k.texel;
            Texture tex{&texel, 1, 1};
            RasterState s;
            s.blend = k.blend;
            s.srcBlend = k.src;
            s.destBlend = k.dst;
            s.alphaOp = k.alphaOp;
            DrawTriangle(c.target(), s, &tex, V(-0.5f, -0.5f, 0, 0, k.diffuse), V(3.5f, -0.5f, 1, 0, k.diffuse),
                         V(-0.5f, 3.5f, 0, 1, k.diffuse), path);
            EXPECT_EQ(c.at(0, 0), k.want) << k.name << " " << PathName(path) << std::hex << " got " << c.at(0, 0);
            EXPECT_EQ(c.at(3, 3), k.dest) << k.name << " (outside the triangle)";
        }
}

// The specialised loops (the widest this processor runs, and SSE2 alone)
// against the reference, bit for bit, over random triangles, states, targets
// and textures.
TEST(D3DRaster, FastLoopsEqualReference) {
    std::mt19937 rng(1234);
    auto rnd = [&](int n) { return int(rng() % uint32_t(n)); };
    auto rf = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    const TargetLayout layouts[] = {TargetLayout::RGB565, TargetLayout::BGR565, TargetLayout::RGB555,
                                    TargetLayout::BGR555, TargetLayout::ARGB8888, TargetLayout::ABGR8888};
    const BlendFactor blends[][2] = {{BlendFactor::One, BlendFactor::Zero}, {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha},
                                     {BlendFactor::One, BlendFactor::One}, {BlendFactor::SrcAlpha, BlendFactor::One}};
    std::vector<uint32_t> texels(37 * 23);
    for (auto& t : texels) t = rng();
    for (int i = 0; i < 40; ++i) texels[rnd(int(texels.size()))] &= 0x00FFFFFF;   // some transparent
    for (int i = 0; i < 40; ++i) texels[rnd(int(texels.size()))] |= 0xFF000000;   // some opaque
    Texture tex{texels.data(), 37, 23};
    int mismatched = 0;
    for (int iter = 0; iter < 600; ++iter) {
        TargetLayout layout = layouts[iter % 6];
        Canvas fast(48, 40, layout);
        for (auto& b : fast.bytes) b = uint8_t(rng());
        Canvas ref = fast, sse2 = fast;
        RasterState s;
        const auto& bl = blends[rnd(4)];
        s.blend = bl[1] != BlendFactor::Zero;
        s.srcBlend = bl[0];
        s.destBlend = bl[1];
        s.linear = rnd(2);
        s.alphaOp = rnd(2) ? StageOp::Modulate : StageOp::SelectTexture;
        if (rnd(4) == 0) { s.clipX0 = rnd(20); s.clipY0 = rnd(20); s.clipX1 = 20 + rnd(30); s.clipY1 = 20 + rnd(30); }
        int tintKind = rnd(3);
        uint32_t flat = tintKind == 0 ? 0xFFFFFFFF : rng();
        Vertex v[3];
        for (auto& vx : v) {
            vx = V(rf(-10, 58), rf(-10, 50), rf(-0.3f, 1.3f), rf(-0.3f, 1.3f), tintKind == 2 ? rng() : flat);
            if (rnd(3) == 0) { vx.x = std::round(vx.x); vx.y = std::round(vx.y) - 0.5f; }
        }
        const Texture* t = rnd(5) ? &tex : nullptr;
        DrawTriangle(fast.target(), s, t, v[0], v[1], v[2], Path::Fast);
        DrawTriangle(sse2.target(), s, t, v[0], v[1], v[2], Path::Sse2);
        DrawTriangle(ref.target(), s, t, v[0], v[1], v[2], Path::Reference);
        if ((fast.bytes != ref.bytes || sse2.bytes != ref.bytes) && ++mismatched < 5)
            ADD_FAILURE() << "iteration " << iter << " layout " << int(layout) << " blend " << int(bl[0]) << "/"
                          << int(bl[1]) << " linear " << s.linear << " tint " << tintKind << " textured " << (t != nullptr);
    }
    EXPECT_EQ(mismatched, 0);
}

// Screen-aligned quads stepping one texel per pixel (the layers of a frame)
// over runs of opaque, clear, translucent and mixed texels, on and off texel
// centres, clipped or not, past the texture's last row or not, against the
// reference for every layout, blend and tint; as two triangles and as one
// rectangle (drawn in whole rows).
TEST(D3DRaster, OneTexelPerPixelQuadsEqualReference) {
    std::mt19937 rng(77);
    constexpr int kTexW = 64, kTexH = 16;
    std::vector<uint32_t> texels(kTexW * kTexH);
    for (int y = 0; y < kTexH; ++y)
        for (int x = 0; x < kTexW; ++x) {
            uint32_t c = rng() & 0x00FFFFFF, a = rng() >> 24;
            switch ((x / (5 + y % 7)) % 4) {
            case 0: a = 255; break;
            case 1: a = 0; break;
            case 2: a = 1 + a % 254; break;
            }
            texels[size_t(y) * kTexW + x] = a << 24 | c;
        }
    Texture tex{texels.data(), kTexW, kTexH};
    const TargetLayout layouts[] = {TargetLayout::RGB565, TargetLayout::BGR565, TargetLayout::RGB555,
                                    TargetLayout::BGR555, TargetLayout::ARGB8888, TargetLayout::ABGR8888};
    const BlendFactor blends[][2] = {{BlendFactor::One, BlendFactor::Zero}, {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha},
                                     {BlendFactor::One, BlendFactor::One}, {BlendFactor::SrcAlpha, BlendFactor::One}};
    struct Case { const char* name; uint32_t tint[3]; StageOp alphaOp; float texelShift; bool clip; };
    const Case cases[] = {
        {"white", {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, StageOp::Modulate, 0, false},
        {"white clipped", {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, StageOp::Modulate, 0, true},
        {"white off centre", {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, StageOp::Modulate, 0.4f, false},
        {"white texture alpha", {0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF}, StageOp::SelectTexture, 0, true},
        {"opaque tint", {0xFF80C040, 0xFF80C040, 0xFF80C040}, StageOp::Modulate, 0, false},
        {"translucent white", {0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF}, StageOp::Modulate, 0, false},
        {"gouraud", {0xFFFFFFFF, 0x80FF0000, 0xFF00FF00}, StageOp::Modulate, 0, true},
    };
    int mismatched = 0;
    for (const Case& k : cases)
        for (TargetLayout layout : layouts)
            for (const auto& bl : blends)
                for (int iter = 0; iter < 6; ++iter) {
                    Canvas fast(56, 20, layout);
                    for (auto& b : fast.bytes) b = uint8_t(rng());
                    Canvas ref = fast, sse2 = fast;
                    RasterState s;
                    s.blend = bl[1] != BlendFactor::Zero;
                    s.srcBlend = bl[0];
                    s.destBlend = bl[1];
                    s.alphaOp = k.alphaOp;
                    if (k.clip) { s.clipX0 = 1 + Pick(rng, 9); s.clipX1 = 30 + Pick(rng, 20); s.clipY0 = 2; s.clipY1 = 17; }
                    // Pixels [x0, x0 + w) x [y0, y0 + h), some past the target's edges.
                    const int x0 = Pick(rng, 20) - 6, y0 = Pick(rng, 8) - 3, w = 9 + Pick(rng, 44), h = 4 + Pick(rng, 12);
                    const int tx = Pick(rng, kTexW - w + 1 > 0 ? kTexW - w + 1 : 1), ty = Pick(rng, kTexH - 3);
                    const float u0 = (tx + k.texelShift) / kTexW, u1 = (tx + k.texelShift + w) / kTexW;
                    const float v0 = float(ty) / kTexH, v1 = float(ty + h) / kTexH;
                    const float l = x0 - 0.5f, r = x0 + w - 0.5f, t = y0 - 0.5f, b = y0 + h - 0.5f;
                    const Vertex q[4] = {V(l, t, u0, v0, k.tint[0]), V(r, t, u1, v0, k.tint[1]),
                                         V(r, b, u1, v1, k.tint[2]), V(l, b, u0, v1, k.tint[0])};
                    Canvas rectFast = fast, rectSse2 = fast, rectRef = fast;
                    for (auto* c : {&fast, &sse2, &ref}) {
                        const Path p = c == &fast ? Path::Fast : c == &sse2 ? Path::Sse2 : Path::Reference;
                        DrawTriangle(c->target(), s, &tex, q[0], q[1], q[2], p);
                        DrawTriangle(c->target(), s, &tex, q[0], q[2], q[3], p);
                    }
                    // Gouraud corners that are not planar are no rectangle: nothing drawn on any path.
                    int rectangles = 0;
                    for (auto* c : {&rectFast, &rectSse2, &rectRef}) {
                        const Path p = c == &rectFast ? Path::Fast : c == &rectSse2 ? Path::Sse2 : Path::Reference;
                        rectangles += DrawRectangle(c->target(), s, &tex, q[0], q[1], q[2], q[3], p);
                    }
                    EXPECT_TRUE(rectangles == 0 || rectangles == 3) << k.name;
                    if ((fast.bytes != ref.bytes || sse2.bytes != ref.bytes || rectFast.bytes != rectRef.bytes ||
                         rectSse2.bytes != rectRef.bytes) &&
                        ++mismatched < 5)
                        ADD_FAILURE() << k.name << " layout " << int(layout) << " blend " << int(bl[0]) << "/"
                                      << int(bl[1]) << " at " << x0 << "," << y0 << " " << w << "x" << h
                                      << (fast.bytes != ref.bytes || sse2.bytes != ref.bytes ? " triangles" : " rectangle");
                }
    EXPECT_EQ(mismatched, 0);
}

// Opaque pictures, which the fast loops copy row by row where nothing tints
// or blends them, give the reference's pixels: every layout, with blending off
// and on, white, tinted or translucent, one texel per pixel or not, clipped.
TEST(D3DRaster, OpaquePicturesEqualReference) {
    std::mt19937 rng(2026);
    constexpr int kTexW = 80, kTexH = 24;
    std::vector<uint32_t> texels(kTexW * kTexH);
    for (auto& t : texels) t = 0xFF000000u | (rng() & 0xFFFFFF);
    Texture tex{texels.data(), kTexW, kTexH, AllOpaque(texels.data(), texels.size())};
    ASSERT_TRUE(tex.opaque);
    std::vector<uint32_t> holed = texels;
    holed[kTexW * 7 + 33] &= 0xFEFFFFFF;
    EXPECT_FALSE(AllOpaque(holed.data(), holed.size()));
    // A 565 picture, its rows padded, drawn from the surface's own texels where it can be.
    constexpr size_t kRawPitch = kTexW + 3;
    std::vector<uint16_t> raw(kRawPitch * kTexH);
    for (auto& p : raw) p = uint16_t(rng());
    std::vector<uint32_t> texels565(kTexW * kTexH);
    DecodeTexels(TexelFormat::R5G6B5, raw.data(), int(kRawPitch * 2), kTexW, kTexH, nullptr, texels565.data());
    Texture tex565{texels565.data(), kTexW, kTexH, true, raw.data(), kRawPitch};
    struct Case { const char* name; bool blend; uint32_t tint; StageOp alphaOp; float texelShift, stretch; bool clip; };
    const Case cases[] = {
        {"copy", false, 0xFFFFFFFF, StageOp::Modulate, 0, 1, false},
        {"over", true, 0xFFFFFFFF, StageOp::Modulate, 0, 1, false},
        {"over clipped", true, 0xFFFFFFFF, StageOp::Modulate, 0, 1, true},
        {"over off centre", true, 0xFFFFFFFF, StageOp::Modulate, 0.3f, 1, false},
        {"over stretched", true, 0xFFFFFFFF, StageOp::Modulate, 0, 1.5f, false},
        {"texture alpha", true, 0x40FFFFFF, StageOp::SelectTexture, 0, 1, true},
        {"tinted", true, 0xFFC08040, StageOp::Modulate, 0, 1, false},
        {"translucent", true, 0x80FFFFFF, StageOp::Modulate, 0, 1, false},
    };
    const TargetLayout layouts[] = {TargetLayout::RGB565, TargetLayout::BGR565, TargetLayout::RGB555,
                                    TargetLayout::ARGB8888, TargetLayout::ABGR8888};
    for (const Texture* picture : {&tex, &tex565})
    for (const Case& k : cases)
        for (TargetLayout layout : layouts)
            for (int iter = 0; iter < 8; ++iter) {
                Canvas fast(72, 20, layout);
                for (auto& b : fast.bytes) b = uint8_t(rng());
                Canvas ref = fast, triFast = fast, triRef = fast;
                RasterState s;
                s.blend = k.blend;
                s.srcBlend = BlendFactor::SrcAlpha;
                s.destBlend = k.blend ? BlendFactor::InvSrcAlpha : BlendFactor::Zero;
                s.alphaOp = k.alphaOp;
                if (k.clip) { s.clipX0 = 1 + Pick(rng, 9); s.clipX1 = 40 + Pick(rng, 30); s.clipY0 = 2; s.clipY1 = 17; }
                const int x0 = Pick(rng, 20) - 6, y0 = Pick(rng, 8) - 3, w = 1 + Pick(rng, 70), h = 1 + Pick(rng, 18);
                const int tx = Pick(rng, 8), ty = Pick(rng, 4);
                const float u0 = (tx + k.texelShift) / kTexW, u1 = (tx + k.texelShift + w / k.stretch) / kTexW;
                const float v0 = float(ty) / kTexH, v1 = float(ty + h) / kTexH;
                const float l = x0 - 0.5f, r = x0 + w - 0.5f, t = y0 - 0.5f, b = y0 + h - 0.5f;
                const Vertex q[4] = {V(l, t, u0, v0, k.tint), V(r, t, u1, v0, k.tint), V(r, b, u1, v1, k.tint),
                                     V(l, b, u0, v1, k.tint)};
                ASSERT_TRUE(DrawRectangle(fast.target(), s, picture, q[0], q[1], q[2], q[3], Path::Fast));
                ASSERT_TRUE(DrawRectangle(ref.target(), s, picture, q[0], q[1], q[2], q[3], Path::Reference));
                for (auto* c : {&triFast, &triRef}) {
                    const Path p = c == &triFast ? Path::Fast : Path::Reference;
                    DrawTriangle(c->target(), s, picture, q[0], q[1], q[2], p);
                    DrawTriangle(c->target(), s, picture, q[0], q[2], q[3], p);
                }
                ASSERT_EQ(fast.bytes, ref.bytes) << k.name << " layout " << int(layout) << " rectangle at " << x0
                                                 << "," << y0 << " " << w << "x" << h;
                ASSERT_EQ(triFast.bytes, triRef.bytes) << k.name << " layout " << int(layout) << " triangles at " << x0
                                                       << "," << y0 << " " << w << "x" << h;
            }
    // Every row length of a 565 picture widened onto 8888, whose last few
    // pixels are written apart from the groups of sixteen before them.
    for (int w = 1; w <= 72; ++w)
        for (int tx : {0, 5}) {
            Canvas fast(72, 2), ref(72, 2);
            for (auto& b : fast.bytes) b = uint8_t(rng());
            ref.bytes = fast.bytes;
            const float u0 = float(tx) / kTexW, u1 = float(tx + w) / kTexW;
            const Vertex q[4] = {V(-0.5f, -0.5f, u0, 0), V(w - 0.5f, -0.5f, u1, 0), V(w - 0.5f, 1.5f, u1, 2.f / kTexH),
                                 V(-0.5f, 1.5f, u0, 2.f / kTexH)};
            ASSERT_TRUE(DrawRectangle(fast.target(), RasterState{}, &tex565, q[0], q[1], q[2], q[3], Path::Fast));
            ASSERT_TRUE(DrawRectangle(ref.target(), RasterState{}, &tex565, q[0], q[1], q[2], q[3], Path::Reference));
            ASSERT_EQ(fast.bytes, ref.bytes) << "565 row of " << w << " from texel " << tx;
        }
}

// A rectangle drawn in whole rows gives the pixels of its two triangles: every
// order round its corners, on and off pixel centres, clipped or not, textured
// or flat, with planar Gouraud colours, texture rows steep or not; each path
// equal to the reference.
TEST(D3DRaster, RectanglesDrawWhatTheirTrianglesDraw) {
    std::mt19937 rng(4321), steepRng(8765);
    auto rnd = [&](int n) { return int(rng() % uint32_t(n)); };
    auto rf = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    std::vector<uint32_t> texels(64 * 32);
    for (auto& t : texels) t = rng();
    for (size_t i = 0; i < texels.size(); i += 3) texels[i] |= 0xFF000000;
    Texture tex{texels.data(), 64, 32};
    const BlendFactor blends[][2] = {{BlendFactor::One, BlendFactor::Zero}, {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha},
                                     {BlendFactor::One, BlendFactor::One}};
    int mismatched = 0;
    for (int iter = 0; iter < 400; ++iter) {
        const TargetLayout layout = iter % 2 ? TargetLayout::ARGB8888 : TargetLayout::RGB565;
        Canvas tri(48, 40, layout);
        for (auto& b : tri.bytes) b = uint8_t(rng());
        Canvas rect = tri, rectRef = tri;
        RasterState s;
        const auto& bl = blends[rnd(3)];
        s.blend = bl[1] != BlendFactor::Zero;
        s.srcBlend = bl[0];
        s.destBlend = bl[1];
        s.linear = rnd(3) == 0;
        if (rnd(4) == 0) { s.clipX0 = rnd(20); s.clipY0 = rnd(20); s.clipX1 = 20 + rnd(30); s.clipY1 = 20 + rnd(30); }
        // Corners on pixel edges (one texel per pixel), on sixteenths, or anywhere.
        float l, t, r, b;
        switch (rnd(3)) {
        case 0: l = rnd(50) - 5.5f; t = rnd(40) - 5.5f; r = l + 1 + rnd(40); b = t + 1 + rnd(30); break;
        case 1: l = rnd(800) / 16.f - 5; t = rnd(640) / 16.f - 5; r = l + rnd(600) / 16.f; b = t + rnd(500) / 16.f; break;
        default: l = rf(-5, 45); t = rf(-5, 35); r = l + rf(0, 40); b = t + rf(0, 30); break;
        }
        const float u0 = rf(-0.2f, 0.6f), u1 = u0 + (r - l) / 64.f, v0 = rf(-0.2f, 0.6f);
        // Now and then v so steep that its texel rows pass the attributes' clamp
        // (a texel apart from the triangles' there, but the same on every path);
        // the slope comes from a generator of its own.
        const bool steep = iter % 6 == 5;
        const float v1 = steep ? v0 + std::uniform_real_distribution<float>(-4000.f, 4000.f)(steepRng) : v0 + (b - t) / 32.f;
        // Gouraud colours planar over the rectangle: left-right plus top-bottom steps.
        const uint32_t base = 0x80402010u, dx = rnd(3) ? 0 : 0x10101010u, dy = rnd(2) ? 0 : 0x08040201u;
        const uint32_t tint = rnd(3) ? 0xFFFFFFFF : rng();
        auto col = [&](int i, int j) { return dx || dy ? base + dx * i + dy * j : tint; };
        Vertex c[4] = {V(l, t, u0, v0, col(0, 0)), V(r, t, u1, v0, col(1, 0)), V(r, b, u1, v1, col(1, 1)),
                       V(l, b, u0, v1, col(0, 1))};
        // Start at any corner, either way round.
        const int first = rnd(4), dir = rnd(2) ? 1 : 3;
        const Vertex& a = c[first];
        const Vertex& bb = c[(first + dir) % 4];
        const Vertex& cc = c[(first + 2 * dir) % 4];
        const Vertex& d = c[(first + 3 * dir) % 4];
        const Texture* tx = rnd(5) ? &tex : nullptr;
        DrawTriangle(tri.target(), s, tx, a, bb, cc, Path::Reference);
        DrawTriangle(tri.target(), s, tx, a, cc, d, Path::Reference);
        const bool drawn = DrawRectangle(rect.target(), s, tx, a, bb, cc, d, Path::Fast) &&
                           DrawRectangle(rectRef.target(), s, tx, a, bb, cc, d, Path::Reference);
        // The planes come from other corners than the triangles', so an
        // interpolated colour may round one level apart; texels and coverage may not.
        bool close = true;
        for (int y = 0; y < tri.height && !steep; ++y)
            for (int x = 0; x < tri.width; ++x)
                close = close && WithinOneLevel(layout, tri.at(x, y), rect.at(x, y));
        if ((!drawn || !close || rect.bytes != rectRef.bytes) && ++mismatched < 5)
            ADD_FAILURE() << "iteration " << iter << " drawn " << drawn << " at " << l << "," << t << " " << r << ","
                          << b << " first " << first << " dir " << dir << " textured " << (tx != nullptr)
                          << (steep ? " steep" : "");
    }
    EXPECT_EQ(mismatched, 0);
}

// What is not an axis-aligned planar rectangle is left to the triangles.
TEST(D3DRaster, RectanglesRefuseOtherQuads) {
    const float nan = std::nanf("");
    struct Case { const char* name; Vertex q[4]; bool drawn; };
    const Case cases[] = {
        {"rotated", {V(10, 2), V(18, 10), V(10, 18), V(2, 10)}, false},
        {"skewed", {V(2, 2), V(12, 2), V(14, 12), V(4, 12)}, false},
        {"corners out of order", {V(2, 2), V(12, 12), V(12, 2), V(2, 12)}, false},
        {"texture not planar", {V(2, 2, 0, 0), V(12, 2, 1, 0), V(12, 12, 1, 1), V(2, 12, 0.5f, 1)}, false},
        {"colour not planar", {V(2, 2), V(12, 2), V(12, 12, 0, 0, 0xFF000000), V(2, 12)}, false},
        {"not a number", {V(nan, 2), V(12, 2), V(12, 12), V(nan, 12)}, false},
        {"no area", {V(2, 2), V(12, 2), V(12, 2), V(2, 2)}, true},
    };
    std::vector<uint32_t> texels(4, 0xFF808080);
    Texture tex{texels.data(), 2, 2};
    for (const Case& k : cases) {
        Canvas c(20, 20);
        EXPECT_EQ(DrawRectangle(c.target(), RasterState{}, &tex, k.q[0], k.q[1], k.q[2], k.q[3]), k.drawn) << k.name;
        EXPECT_EQ(std::count(c.bytes.begin(), c.bytes.end(), 0), long(c.bytes.size())) << k.name << " drew";
    }
}

// Coverage of random triangles, some with corners on pixel centres or halfway
// between sixteenths, against the pixel-centre test written out directly:
// inside every edge, or on a top or left one.
TEST(D3DRaster, CoverageMatchesEdgeFunctions) {
    std::mt19937 rng(99);
    auto rf = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    int wrong = 0;
    for (int iter = 0; iter < 300; ++iter) {
        Canvas c(40, 30);
        float px[3], py[3];
        for (int i = 0; i < 3; ++i) {
            px[i] = rf(-15, 55);
            py[i] = rf(-15, 45);
            if (iter % 3 == 0) { px[i] = std::round(px[i]); py[i] = std::round(py[i]); }
            // Halfway between sixteenths, where the snap rounds away from zero.
            if (iter % 3 == 1) {
                px[i] = std::round(px[i] * 16) / 16 + 1 / 32.f;
                py[i] = std::round(py[i] * 16) / 16 - 1 / 32.f;
            }
        }
        const uint32_t one = 0x01010101;
        DrawTriangle(c.target(), AdditiveState(), nullptr, V(px[0], py[0], 0, 0, one), V(px[1], py[1], 0, 0, one),
                     V(px[2], py[2], 0, 0, one), Path::Reference);
        int64_t X[3], Y[3];
        for (int i = 0; i < 3; ++i) {
            X[i] = std::llround(double(px[i]) * 16);
            Y[i] = std::llround(double(py[i]) * 16);
        }
        int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
        if (area < 0) { std::swap(X[1], X[2]); std::swap(Y[1], Y[2]); }
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                bool in = area != 0;
                for (int i = 0; i < 3 && in; ++i) {
                    int j = (i + 1) % 3;
                    int64_t dx = X[j] - X[i], dy = Y[j] - Y[i];
                    int64_t e = dx * (y * 16 - Y[i]) - dy * (x * 16 - X[i]);
                    bool topLeft = (dy == 0 && dx > 0) || dy < 0;
                    in = e > 0 || (e == 0 && topLeft);
                }
                if ((c.at(x, y) != 0) != in && ++wrong < 5)
                    ADD_FAILURE() << "triangle " << iter << " pixel " << x << "," << y << " drawn " << (c.at(x, y) != 0);
            }
    }
    EXPECT_EQ(wrong, 0);
}

// Lines leave their last pixel for the next segment; a strip that ends with a
// half-pixel step draws its end point.
TEST(D3DRaster, LineStripsDrawEachPixelOnce) {
    Canvas c(20, 10);
    RasterState s = AdditiveState();
    const uint32_t one = 0x01010101;
    Vertex strip[] = {V(2, 3, 0, 0, one), V(12, 3, 0, 0, one), V(12.5f, 3.5f, 0, 0, one)};
    DrawLine(c.target(), s, nullptr, strip[0], strip[1]);
    DrawLine(c.target(), s, nullptr, strip[1], strip[2]);
    for (int x = 0; x < 20; ++x) EXPECT_EQ(c.at(x, 3), x >= 2 && x <= 12 ? one : 0u) << "x " << x;
    EXPECT_EQ(c.at(5, 4), 0u);
}

TEST(D3DRaster, TexelsDecodeToArgb) {
    struct Case { TexelFormat format; uint32_t raw; uint32_t want; };
    const uint32_t palette[256] = {0, 0x80112233};
    const Case cases[] = {
        {TexelFormat::A8R8G8B8, 0x80FF8040, 0x80FF8040},
        {TexelFormat::A4R4G4B4, 0x8F84, 0x88FF8844},
        {TexelFormat::R5G6B5, 0xFFFF, 0xFFFFFFFF},
        {TexelFormat::R5G6B5, 0x8410, 0xFF848284},
        {TexelFormat::PAL8, 1, 0x80112233},
    };
    for (const Case& k : cases) {
        uint8_t src[2][8] = {};
        std::memcpy(src[1] + TexelBytes(k.format), &k.raw, size_t(TexelBytes(k.format)));
        uint32_t out[4] = {1, 1, 1, 1};
        DecodeTexels(k.format, src, 8, 2, 2, palette, out);
        EXPECT_EQ(out[3], k.want) << "format " << int(k.format) << std::hex << " got " << out[3];
    }
}

} // namespace
