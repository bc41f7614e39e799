// The 3D device's rasteriser drawing a textured, tinted, alpha-blended
// 256 x 256 quad onto an 800 x 600 target, next to SDL2's software renderer
// drawing the same geometry (SDL_RenderGeometry); many small sprites beside
// the DirectDraw road's blit of them; an opaque full-screen picture in pieces
// beside memcpy; and the texture upload of a 256 x 256 image (conversion into
// the locked piece plus the decode at unlock).
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
    for (auto _ : state) {
        d3d::DrawTriangle(target, s, &tex, q[0], q[1], q[2]);
        d3d::DrawTriangle(target, s, &tex, q[1], q[2], q[3]);
    }
    benchmark::DoNotOptimize(dest.data());
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
        for (auto _ : state) {
            SDL_RenderGeometry(renderer, texture, v, 4, indices, 6);
            SDL_RenderFlush(renderer);
        }
        benchmark::DoNotOptimize(surface->pixels);
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
    for (auto _ : state)
        BltAlpha(road.view, road.f, int(kLeft), int(kTop), road.src, Zephra::Rect(0, 0, kSize, kSize), tint, false);
    benchmark::DoNotOptimize(road.mem.data());
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
    for (auto _ : state)
        for (int i = 0; i < kSprites; ++i) {
            int x, y;
            SpritePlace(i, x, y);
            DrawWhole(target, s, tex, x, y, kSpriteW, kSpriteH);
        }
    benchmark::DoNotOptimize(dest.data());
}

void DDrawSprites(benchmark::State& state) {
    DDrawRoad road(SpriteTexels(), kSpriteW, kSpriteH);
    for (auto _ : state)
        for (int i = 0; i < kSprites; ++i) {
            int x, y;
            SpritePlace(i, x, y);
            BltAlpha(road.view, road.f, x, y, road.src, Zephra::Rect(0, 0, kSpriteW, kSpriteH), Zephra::Color::White,
                     false);
        }
    benchmark::DoNotOptimize(road.mem.data());
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
    for (auto _ : state)
        for (int y = 0; y < kDestH; y += kPieceH)
            for (int x = 0; x < kDestW; x += kPieceW) DrawWhole(target, s, tex, x, y, kPieceW, kPieceH);
    benchmark::DoNotOptimize(dest.data());
}

void GroundMemcpy(benchmark::State& state) {
    std::vector<uint32_t> from(size_t(kDestW) * kDestH, 0xFF204060u), to(size_t(kDestW) * kDestH);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(to.data());
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
    for (auto _ : state) {
        Zephra::UploadTexturePiece(format, locked.data(), kSize * bpp, kSize, kSize, image, 0, 0);
        d3d::DecodeTexels(tf, locked.data(), kSize * bpp, kSize, kSize, nullptr, decoded.data());
        benchmark::DoNotOptimize(decoded.data());
    }
}

} // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
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
    benchmark::RegisterBenchmark("Ground/memcpy", GroundMemcpy);
    benchmark::RegisterBenchmark("Upload/A8R8G8B8", Upload, int(Zephra::TEXFMT_A8R8G8B8));
    benchmark::RegisterBenchmark("Upload/A4R4G4B4", Upload, int(Zephra::TEXFMT_A4R4G4B4));
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto& times = reporter.mTimes;
    std::printf("\n%-20s %12s %12s %9s  %s\n", "pair", "ours (us)", "sdl (us)", "ours/sdl", "target");
    if (times.count("Quad/1_Point/ours") && times.count("Quad/1_Point/ddraw"))
        std::printf("%-20s %12.1f %12s %9.2f  %s\n", "Quad/1_Point", times.at("Quad/1_Point/ours") / 1000.0,
                    "ddraw", times.at("Quad/1_Point/ours") / times.at("Quad/1_Point/ddraw"),
                    "at most 1.50 (the DirectDraw road's tinted alpha blit, 32-bit)");
    if (times.count("Sprites/ours") && times.count("Sprites/ddraw"))
        std::printf("%-20s %12.1f %12s %9.2f  %s\n", "Sprites", times.at("Sprites/ours") / 1000.0, "ddraw",
                    times.at("Sprites/ours") / times.at("Sprites/ddraw"),
                    "at most 1.30 (the DirectDraw road's blit of the same sprites, 32-bit)");
    if (times.count("Ground/ours") && times.count("Ground/memcpy"))
        std::printf("%-20s %12.1f %12s %9.2f  %s\n", "Ground", times.at("Ground/ours") / 1000.0, "memcpy",
                    times.at("Ground/ours") / times.at("Ground/memcpy"), "at most 1.30 (a copy of the same bytes)");
    for (const char* name : {"Quad/1_Point", "Quad/2_Bilinear", "Quad/3_Point565"}) {
        auto ours = times.find(std::string(name) + "/ours");
        auto sdl = times.find(std::string(name) + "/sdl");
        if (ours == times.end() || sdl == times.end()) continue;
        std::printf("%-20s %12.1f %12.1f %9.2f  %s\n", name, ours->second / 1000.0, sdl->second / 1000.0,
                    ours->second / sdl->second, "below 1.00 (SDL2 software renderer, 32-bit target)");
    }
    for (const char* name : {"Upload/A8R8G8B8", "Upload/A4R4G4B4"}) {
        auto it = times.find(name);
        if (it != times.end()) std::printf("%-20s %12.1f %12s %9s  %s\n", name, it->second / 1000.0, "", "", "under 200 us");
    }
    return 0;
}

namespace {

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
    if (dest.back() == 0) state.SkipWithError("nothing drawn");
    benchmark::DoNotOptimize(dest.data());
}

BENCHMARK(OursGroundMarked)->Name("Ground/ours opaque");

} // namespace
