// The 3D device's rasteriser drawing a textured, tinted, alpha-blended
// 256 x 256 quad onto an 800 x 600 target, next to SDL2's software renderer
// drawing the same geometry (SDL_RenderGeometry); many small sprites beside
// the DirectDraw road's blit of them; an opaque full-screen picture in pieces
// beside memcpy; and the texture upload of a 256 x 256 image (conversion into
// the locked piece plus the decode at unlock) beside a copy of its bytes.
#include <benchmark/benchmark.h>
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/collecting_reporter.h"
#include "framework/display/surface_kernels.h"
#include "framework/display/texture_pixels.h"
#include "framework/graphics/memory_image.h"
#include "platform/directx/d3d_raster.h"
#include "platform/directx/d3d_texels.h"

namespace {

namespace d3d = platform::d3d;

constexpr int kDestW = 800;
constexpr int kDestH = 600;
constexpr int kSize = 256;
constexpr float kLeft = 272, kTop = 172;
constexpr uint32_t kTint = 0xC0FFD090;   // ARGB

// A disc with a soft rim over a colour ramp: transparent, partial and opaque texels.
uint32_t TexelAt(int x, int y) {
    int dx = x - kSize / 2, dy = y - kSize / 2, d2 = dx * dx + dy * dy;
    uint32_t a = d2 < 90 * 90 ? 255u : d2 >= 127 * 127 ? 0u : uint32_t(255 - (d2 - 8100) * 255 / (16129 - 8100));
    return a << 24 | uint32_t(x) << 16 | uint32_t(y) << 8 | uint32_t((x + y) & 0xFF);
}

std::vector<uint32_t> MakeTexels() {
    std::vector<uint32_t> t(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) t[y * kSize + x] = TexelAt(x, y);
    return t;
}

uint32_t Background(int x, int y) { return 0xFF000000u | uint32_t((x * 3) & 0xFF) << 16 | uint32_t((y * 5) & 0xFF) << 8 | 0x40; }

// The blend the display draws every picture with.
d3d::RasterState AlphaBlend() {
    d3d::RasterState s;
    s.blend = true;
    s.srcBlend = d3d::BlendFactor::SrcAlpha;
    s.destBlend = d3d::BlendFactor::InvSrcAlpha;
    s.alphaOp = d3d::StageOp::Modulate;
    return s;
}

// A whole texture, white, on the pixels [x, x + w) x [y, y + h).
void DrawWhole(const d3d::Target& target, const d3d::RasterState& s, const d3d::Texture& tex, int x, int y, int w,
               int h) {
    const float l = float(x) - 0.5f, t = float(y) - 0.5f;
    d3d::DrawRectangle(target, s, &tex, d3d::MakeVertex(l, t, 0, 0, 0xFFFFFFFF), d3d::MakeVertex(l + w, t, 1, 0, 0xFFFFFFFF),
                       d3d::MakeVertex(l + w, t + h, 1, 1, 0xFFFFFFFF), d3d::MakeVertex(l, t + h, 0, 1, 0xFFFFFFFF));
}

void OursQuad(benchmark::State& state, bool linear, d3d::TargetLayout layout) {
    const std::vector<uint32_t> texels = MakeTexels();
    const int bpp = layout == d3d::TargetLayout::RGB565 ? 2 : 4;
    std::vector<uint8_t> dest(size_t(kDestW) * kDestH * bpp);
    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x) {
            uint32_t p = Background(x, y);
            if (bpp == 2) {
                uint16_t q = uint16_t((p >> 8 & 0xF800) | (p >> 5 & 0x7E0) | (p >> 3 & 0x1F));
                std::memcpy(&dest[(size_t(y) * kDestW + x) * 2], &q, 2);
            } else {
                std::memcpy(&dest[(size_t(y) * kDestW + x) * 4], &p, 4);
            }
        }
    d3d::Target target{dest.data(), kDestW * bpp, kDestW, kDestH, layout};
    d3d::Texture tex{texels.data(), kSize, kSize};
    d3d::RasterState s = AlphaBlend();
    s.linear = linear;
    auto vx = [](float x, float y, float u, float v) { return d3d::MakeVertex(x, y, u, v, kTint); };
    const float l = kLeft - 0.5f, t = kTop - 0.5f;
    d3d::Vertex q[4] = {vx(l, t, 0, 0), vx(l + kSize, t, 1, 0), vx(l, t + kSize, 0, 1), vx(l + kSize, t + kSize, 1, 1)};
    const std::vector<uint8_t> before = dest;
    for (auto _ : state) {
        d3d::DrawTriangle(target, s, &tex, q[0], q[1], q[2]);
        d3d::DrawTriangle(target, s, &tex, q[1], q[2], q[3]);
    }
    benchmark::DoNotOptimize(dest.data());
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), dest.data(), dest.size() / bpp, bpp));
}

void SdlQuad(benchmark::State& state, bool linear) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, kDestW, kDestH, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                                        kSize, kSize)
                                    : nullptr;
    if (!texture) {
        state.SkipWithError("SDL software renderer unavailable");
    } else {
        const std::vector<uint32_t> texels = MakeTexels();
        SDL_UpdateTexture(texture, nullptr, texels.data(), kSize * 4);
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
        SDL_SetTextureScaleMode(texture, linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        auto* px = static_cast<uint32_t*>(surface->pixels);
        for (int y = 0; y < kDestH; ++y)
            for (int x = 0; x < kDestW; ++x) px[y * (surface->pitch / 4) + x] = Background(x, y);
        const SDL_Color c{uint8_t(kTint >> 16), uint8_t(kTint >> 8), uint8_t(kTint), uint8_t(kTint >> 24)};
        const SDL_Vertex v[4] = {{{kLeft, kTop}, c, {0, 0}},
                                 {{kLeft + kSize, kTop}, c, {1, 0}},
                                 {{kLeft, kTop + kSize}, c, {0, 1}},
                                 {{kLeft + kSize, kTop + kSize}, c, {1, 1}}};
        const int indices[6] = {0, 1, 2, 1, 2, 3};
        const size_t bytes = size_t(surface->pitch) * kDestH;
        const std::vector<uint8_t> before(static_cast<uint8_t*>(surface->pixels), static_cast<uint8_t*>(surface->pixels) + bytes);
        for (auto _ : state) {
            SDL_RenderGeometry(renderer, texture, v, 4, indices, 6);
            SDL_RenderFlush(renderer);
        }
        benchmark::DoNotOptimize(surface->pixels);
        benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), surface->pixels, bytes / 4, 4));
    }
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (surface) SDL_FreeSurface(surface);
}

// The DirectDraw road: a 32-bit surface over the background, and a picture
// prepared for it (native words and alpha runs).
struct DDrawRoad {
    Zephra::surface::PixelFormat f = Zephra::surface::MakePixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
    std::vector<uint8_t> mem = std::vector<uint8_t>(size_t(kDestW) * kDestH * 4);
    Zephra::surface::SurfaceView view{mem.data(), kDestW * 4, kDestW, kDestH};
    Zephra::MemoryImage picture;
    Zephra::NativeDisplay nd;
    Zephra::surface::NativeSource src;

    DDrawRoad(const std::vector<uint32_t>& texels, int w, int h) {
        std::vector<uint32_t> bg(size_t(kDestW) * kDestH);
        for (int y = 0; y < kDestH; ++y)
            for (int x = 0; x < kDestW; ++x) bg[size_t(y) * kDestW + x] = Background(x, y);
        WritePixels(view, f, bg.data(), false, 0);
        picture.SetBits(texels.data(), w, h);
        nd.SetFormat(32, 0xFF0000, 0xFF00, 0xFF);
        src.native = picture.GetNativeAlphaData(&nd);
        src.runs = picture.GetRLAlphaData();
        src.width = w;
        src.height = h;
    }
};

// The DirectDraw road's tinted alpha blit of the same sprite onto a 32-bit surface.
void DDrawBlit(benchmark::State& state) {
    DDrawRoad road(MakeTexels(), kSize, kSize);
    const Zephra::Color tint(int(kTint >> 16 & 0xFF), int(kTint >> 8 & 0xFF), int(kTint & 0xFF), int(kTint >> 24));
    const std::vector<uint8_t> before = road.mem;
    for (auto _ : state)
        BltAlpha(road.view, road.f, int(kLeft), int(kTop), road.src, Zephra::Rect(0, 0, kSize, kSize), tint, false);
    benchmark::DoNotOptimize(road.mem.data());
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), road.mem.data(), road.mem.size() / 4, 4));
}

// Many small sprites (people and furniture of the office: clear around the
// figure, a soft rim, an opaque body), white, alpha-blended, one rectangle
// each, through the rasteriser and through the DirectDraw road's blit.
constexpr int kSpriteW = 48, kSpriteH = 72, kSprites = 120;

std::vector<uint32_t> SpriteTexels() {
    std::vector<uint32_t> t(size_t(kSpriteW) * kSpriteH);
    for (int y = 0; y < kSpriteH; ++y)
        for (int x = 0; x < kSpriteW; ++x) {
            const int dx = 2 * x - kSpriteW, dy = y - kSpriteH / 2;
            const int d = dx * dx / 4 + dy * dy / 4;
            const uint32_t a = d < 300 ? 255u : d >= 480 ? 0u : uint32_t((480 - d) * 255 / 180);
            t[size_t(y) * kSpriteW + x] = a << 24 | uint32_t(x * 5) << 16 | uint32_t(y * 3) << 8 | 0x60;
        }
    return t;
}

void SpritePlace(int i, int& x, int& y) {
    x = (i * 97) % (kDestW - kSpriteW);
    y = (i * 53) % (kDestH - kSpriteH);
}

void OursSprites(benchmark::State& state) {
    const std::vector<uint32_t> texels = SpriteTexels();
    std::vector<uint32_t> dest(size_t(kDestW) * kDestH);
    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x) dest[size_t(y) * kDestW + x] = Background(x, y);
    d3d::Target target{dest.data(), kDestW * 4, kDestW, kDestH, d3d::TargetLayout::ARGB8888};
    d3d::Texture tex{texels.data(), kSpriteW, kSpriteH};
    d3d::RasterState s = AlphaBlend();
    const std::vector<uint32_t> before = dest;
    for (auto _ : state)
        for (int i = 0; i < kSprites; ++i) {
            int x, y;
            SpritePlace(i, x, y);
            DrawWhole(target, s, tex, x, y, kSpriteW, kSpriteH);
        }
    benchmark::DoNotOptimize(dest.data());
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), dest.data(), dest.size(), 4));
}

void DDrawSprites(benchmark::State& state) {
    DDrawRoad road(SpriteTexels(), kSpriteW, kSpriteH);
    const std::vector<uint8_t> before = road.mem;
    for (auto _ : state)
        for (int i = 0; i < kSprites; ++i) {
            int x, y;
            SpritePlace(i, x, y);
            BltAlpha(road.view, road.f, x, y, road.src, Zephra::Rect(0, 0, kSpriteW, kSpriteH), Zephra::Color::White,
                     false);
        }
    benchmark::DoNotOptimize(road.mem.data());
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), road.mem.data(), road.mem.size() / 4, 4));
}

// An opaque 800 x 600 picture in the device's 256 x 64 pieces, white,
// alpha-blended as the display draws every picture, beside a copy of the bytes.
void OursGround(benchmark::State& state) {
    constexpr int kPieceW = 256, kPieceH = 64;
    std::vector<uint32_t> texels(size_t(kPieceW) * kPieceH);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | uint32_t(i * 0x10307);
    std::vector<uint32_t> dest(size_t(kDestW) * kDestH);
    d3d::Target target{dest.data(), kDestW * 4, kDestW, kDestH, d3d::TargetLayout::ARGB8888};
    d3d::Texture tex{texels.data(), kPieceW, kPieceH};
    d3d::RasterState s = AlphaBlend();
    const std::vector<uint32_t> before = dest;
    for (auto _ : state)
        for (int y = 0; y < kDestH; y += kPieceH)
            for (int x = 0; x < kDestW; x += kPieceW) DrawWhole(target, s, tex, x, y, kPieceW, kPieceH);
    benchmark::DoNotOptimize(dest.data());
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), dest.data(), dest.size(), 4));
}

void GroundMemcpy(benchmark::State& state) {
    std::vector<uint32_t> from(size_t(kDestW) * kDestH, 0xFF204060u), to(size_t(kDestW) * kDestH);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(to.data());
    benchsummary::ReportWork(state, to == from ? double(from.size() * 4) : 0);
}

// The opaque full-screen picture as the device hands it over: its texture
// marked opaque (all alpha 255), so that its rows are copied.
void OursGroundMarked(benchmark::State& state) {
    constexpr int kPieceW = 256, kPieceH = 64;
    std::vector<uint32_t> texels(size_t(kPieceW) * kPieceH), dest(size_t(kDestW) * kDestH);
    uint32_t next = 0xFF000000u;
    for (uint32_t& t : texels) t = 0xFF000000u | (next += 0x10307);
    const d3d::Texture tex{texels.data(), kPieceW, kPieceH, d3d::AllOpaque(texels.data(), texels.size())};
    if (!tex.opaque) state.SkipWithError("the picture is not opaque");
    const d3d::RasterState s = AlphaBlend();
    for (auto _ : state)
        for (int y = 0; y < kDestH; y += kPieceH)
            for (int x = 0; x < kDestW; x += kPieceW)
                DrawWhole({dest.data(), kDestW * 4, kDestW, kDestH, d3d::TargetLayout::ARGB8888}, s, tex, x, y,
                          kPieceW, kPieceH);
    benchmark::DoNotOptimize(dest.data());
    const std::vector<uint32_t> blank(dest.size());
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(blank.data(), dest.data(), dest.size(), 4));
}

// Image to locked texture piece, then the device's decode at unlock.
void Upload(benchmark::State& state, int format) {
    Zephra::MemoryImage image;
    image.Create(kSize, kSize);
    const std::vector<uint32_t> texels = MakeTexels();
    std::copy(texels.begin(), texels.end(), image.GetBits());
    const int bpp = Zephra::TextureFormatBytes(format);
    std::vector<uint8_t> locked(size_t(kSize) * kSize * bpp);
    std::vector<uint32_t> decoded(size_t(kSize) * kSize);
    const d3d::TexelFormat tf = format == Zephra::TEXFMT_A4R4G4B4 ? d3d::TexelFormat::A4R4G4B4 : d3d::TexelFormat::A8R8G8B8;
    const std::vector<uint32_t> before = decoded;
    for (auto _ : state) {
        Zephra::UploadTexturePiece(format, locked.data(), kSize * bpp, kSize, kSize, image, 0, 0);
        d3d::DecodeTexels(tf, locked.data(), kSize * bpp, kSize, kSize, nullptr, decoded.data());
        benchmark::DoNotOptimize(decoded.data());
    }
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), decoded.data(), decoded.size(), 4));
}

// The bytes of the upload copied: the image into the locked piece (at 32
// bits) and out of it again.
void UploadMemcpy(benchmark::State& state) {
    const std::vector<uint32_t> texels = MakeTexels();
    std::vector<uint32_t> locked(texels.size()), decoded(texels.size());
    for (auto _ : state) {
        std::memcpy(locked.data(), texels.data(), texels.size() * 4);
        std::memcpy(decoded.data(), locked.data(), texels.size() * 4);
        benchmark::ClobberMemory();
    }
    benchsummary::ReportWork(state, decoded == texels ? double(texels.size() * 8) : 0);
}

} // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    benchmark::RegisterBenchmark("Quad/1_Point/ours", OursQuad, false, d3d::TargetLayout::ARGB8888);
    benchmark::RegisterBenchmark("Quad/1_Point/sdl", SdlQuad, false);
    benchmark::RegisterBenchmark("Quad/1_Point/ddraw", DDrawBlit);
    benchmark::RegisterBenchmark("Quad/2_Bilinear/ours", OursQuad, true, d3d::TargetLayout::ARGB8888);
    benchmark::RegisterBenchmark("Quad/2_Bilinear/sdl", SdlQuad, true);
    benchmark::RegisterBenchmark("Quad/3_Point565/ours", OursQuad, false, d3d::TargetLayout::RGB565);
    benchmark::RegisterBenchmark("Quad/3_Point565/sdl", SdlQuad, false);
    benchmark::RegisterBenchmark("Sprites/ours", OursSprites);
    benchmark::RegisterBenchmark("Sprites/ddraw", DDrawSprites);
    benchmark::RegisterBenchmark("Ground/ours", OursGround);
    benchmark::RegisterBenchmark("Ground/ours opaque", OursGroundMarked);
    benchmark::RegisterBenchmark("Ground/memcpy", GroundMemcpy);
    benchmark::RegisterBenchmark("Upload/A8R8G8B8", Upload, int(Zephra::TEXFMT_A8R8G8B8));
    benchmark::RegisterBenchmark("Upload/A4R4G4B4", Upload, int(Zephra::TEXFMT_A4R4G4B4));
    benchmark::RegisterBenchmark("Upload/memcpy", UploadMemcpy);
    return benchsummary::RunMain(argc, argv, [](const benchsummary::Figures&, benchsummary::Summary& s) {
        const char* sdl = "SDL2 software renderer, 32-bit target: below it";
        s.Table("the rasteriser beside its peers",
                {{"Quad/1_Point/ours", "Quad/1_Point/ddraw", "the DirectDraw road's tinted alpha blit, 32-bit", 1, 0, 1.5},
                 {"Quad/1_Point/ours", "Quad/1_Point/sdl", sdl, 1, 0, 1.0},
                 {"Quad/2_Bilinear/ours", "Quad/2_Bilinear/sdl", sdl, 1, 0, 1.0},
                 {"Quad/3_Point565/ours", "Quad/3_Point565/sdl", sdl, 1, 0, 1.0},
                 {"Sprites/ours", "Sprites/ddraw", "the DirectDraw road's blit of the same sprites, 32-bit", 1, 0, 1.3},
                 {"Ground/ours", "Ground/memcpy", "a copy of the same bytes", 1, 0, 1.3},
                 {"Ground/ours opaque", "Ground/memcpy", "the same, the texture known opaque", 1, 0, 1.3},
                 {"Upload/A8R8G8B8", "Upload/memcpy", "the bytes copied in and out; 200 us", 1, 200, 0},
                 {"Upload/A4R4G4B4", "Upload/memcpy", "the bytes copied in and out; 200 us", 1, 200, 0}});
    });
}
