// The surface loops on a 256 x 256 sprite onto 800 x 600, each beside its peer
// in the same run: SDL2's surface blitter (its nearest equivalent) and, for the
// alpha blits and the fill, pixman's OVER; an opaque 800 x 600 picture beside
// memcpy of the same bytes. The table at the end prints every figure with its
// peers and the ratio.
#include <benchmark/benchmark.h>
#include <SDL.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/display/surface_kernels.h"
#include "bench/collecting_reporter.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"

namespace {

using namespace Zephra;
using namespace Zephra::surface;

constexpr int kW = 800, kH = 600, kS = 256;

// Transparent corners, an opaque middle and a soft ring between.
uint32_t SpritePixel(int x, int y) {
    const int dx = x - kS / 2, dy = y - kS / 2, d2 = dx * dx + dy * dy;
    const uint32_t a = d2 < 80 * 80 ? 255 : d2 >= 128 * 128 ? 0 : uint32_t(255 - (d2 - 80 * 80) * 255 / (128 * 128 - 80 * 80));
    return a << 24 | (uint32_t(x) & 0xFF) << 16 | (uint32_t(y) & 0xFF) << 8 | (uint32_t(x ^ y) & 0xFF);
}
uint32_t BackgroundPixel(int x, int y) {
    return 0xFF000000u | uint32_t((x * 3) & 0xFF) << 16 | uint32_t((y * 5) & 0xFF) << 8 | 0x40;
}
int Jitter(int64_t i) { return int(i % 7); }

struct SurfaceCase {
    PixelFormat f;
    std::vector<uint8_t> mem;
    SurfaceView view;
    MemoryImage sprite;
    NativeDisplay nd;
    explicit SurfaceCase(int bits) {
        f = bits == 16 ? MakePixelFormat(16, 0xF800, 0x07E0, 0x001F) : MakePixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
        view = {nullptr, kW * bits / 8, kW, kH};
        mem.resize(size_t(view.pitch) * kH);
        view.bits = mem.data();
        std::vector<uint32_t> bg(size_t(kW) * kH), px(size_t(kS) * kS);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) bg[size_t(y) * kW + x] = BackgroundPixel(x, y);
        WritePixels(view, f, bg.data(), false, 0);
        for (int y = 0; y < kS; ++y)
            for (int x = 0; x < kS; ++x) px[size_t(y) * kS + x] = SpritePixel(x, y);
        sprite.SetBits(px.data(), kS, kS);
        nd.SetFormat(bits, f.mask[0], f.mask[1], f.mask[2]);
    }
    NativeSource Native(bool additive) {
        NativeSource s;
        s.native = sprite.GetNativeAlphaData(&nd);
        s.runs = additive ? sprite.GetRLAdditiveData(&nd) : sprite.GetRLAlphaData();
        s.width = s.height = kS;
        return s;
    }
};

enum class Op { Alpha, Additive, Tinted, Stretch, Mirror, Rotate, Fill };

void Ours(benchmark::State& state, int bits, Op op) {
    SurfaceCase sc(bits);
    const NativeSource normal = sc.Native(false), additive = sc.Native(true);
    ArgbSource argb;
    argb.bits = sc.sprite.GetBits();
    argb.width = argb.height = kS;
    const Color tint(255, 160, 80, 200);
    int64_t i = 0;
    for (auto _ : state) {
        const int x = 100 + Jitter(i++);
        const Rect all(0, 0, kS, kS);
        switch (op) {
        case Op::Alpha: BltAlpha(sc.view, sc.f, x, 100, normal, all, Color::White, false); break;
        case Op::Additive: BltAdditive(sc.view, sc.f, x, 100, additive, all, Color::White, false); break;
        case Op::Tinted: BltAlpha(sc.view, sc.f, x, 100, normal, all, tint, false); break;
        case Op::Mirror: BltAlpha(sc.view, sc.f, x, 100, normal, all, Color::White, true); break;
        case Op::Stretch:
            StretchNearest(sc.view, sc.f, normal, Rect(x, 100, 512, 384), RectD(0, 0, kS, kS), Color::White, false, false);
            break;
        case Op::Rotate: {
            Rotation r{float(200 + Jitter(i)), 150.0f, all, RectD(), 30.0 * M_PI / 180.0, kS / 2.0f, kS / 2.0f};
            BltRotatedClipHelper(&r.x, &r.y, all, Rect(0, 0, kW, kH), r.angle, r.area, r.centerX, r.centerY);
            RotateBilinear(sc.view, sc.f, argb, r, Color::White, false);
            break;
        }
        case Op::Fill: FillRectNormal(sc.view, sc.f, Rect(0, 0, kW, kH), Color(20, 40, 200, 128)); break;
        }
    }
    benchmark::DoNotOptimize(sc.mem.data());
}

void MemoryAlpha(benchmark::State& state) {
    MemoryImage dest, sprite;
    dest.Create(kW, kH);
    uint32_t* d = dest.GetBits();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) d[y * kW + x] = BackgroundPixel(x, y);
    dest.BitsChanged();
    std::vector<uint32_t> px(size_t(kS) * kS);
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) px[size_t(y) * kS + x] = SpritePixel(x, y);
    sprite.SetBits(px.data(), kS, kS);
    Graphics g(&dest);
    int64_t i = 0;
    for (auto _ : state) g.DrawImage(&sprite, 100 + Jitter(i++), 100);
    benchmark::DoNotOptimize(dest.GetBits()[0]);
}

// An opaque 800 x 600 picture onto an 800 x 600 32-bit surface (the office
// ground), beside a plain copy of the same bytes.
void OpaqueSurface(benchmark::State& state) {
    const PixelFormat f = MakePixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
    std::vector<uint8_t> mem(size_t(kW) * kH * 4);
    const SurfaceView view{mem.data(), kW * 4, kW, kH};
    std::vector<uint32_t> px(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) px[size_t(y) * kW + x] = BackgroundPixel(x, y);
    MemoryImage ground;
    ground.SetBits(px.data(), kW, kH);
    NativeDisplay nd;
    nd.SetFormat(32, f.mask[0], f.mask[1], f.mask[2]);
    NativeSource src;
    src.native = ground.GetNativeAlphaData(&nd);
    src.width = kW;
    src.height = kH;
    for (auto _ : state) {
        BltOpaque(view, f, 0, 0, src, Rect(0, 0, kW, kH), false, false);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(mem.data());
}

void OpaqueMemcpy(benchmark::State& state) {
    std::vector<uint32_t> from(size_t(kW) * kH, 0xFF204060u), to(size_t(kW) * kH);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(to.data());
}

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

void Sdl(benchmark::State& state, Op op) {
    std::unique_ptr<SDL_Surface, SurfaceDeleter> dest(SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888));
    std::unique_ptr<SDL_Surface, SurfaceDeleter> sprite(SDL_CreateRGBSurfaceWithFormat(0, kS, kS, 32, SDL_PIXELFORMAT_ARGB8888));
    if (!dest || !sprite) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) static_cast<uint32_t*>(dest->pixels)[y * dest->pitch / 4 + x] = BackgroundPixel(x, y);
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) static_cast<uint32_t*>(sprite->pixels)[y * sprite->pitch / 4 + x] = SpritePixel(x, y);
    SDL_SetSurfaceBlendMode(sprite.get(), op == Op::Additive ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
    if (op == Op::Tinted) {
        SDL_SetSurfaceColorMod(sprite.get(), 255, 160, 80);
        SDL_SetSurfaceAlphaMod(sprite.get(), 200);
    }
    int64_t i = 0;
    for (auto _ : state) {
        SDL_Rect at{100 + Jitter(i++), 100, op == Op::Stretch ? 512 : kS, op == Op::Stretch ? 384 : kS};
        if (op == Op::Stretch)
            SDL_BlitScaled(sprite.get(), nullptr, dest.get(), &at);
        else if (op == Op::Fill)
            SDL_FillRect(dest.get(), nullptr, 0x801428C8);
        else
            SDL_BlitSurface(sprite.get(), nullptr, dest.get(), &at);
    }
    benchmark::DoNotOptimize(dest->pixels);
}

// SDL's own rotation, mirroring and blended fill: the software renderer
// drawing into a surface (SDL_RenderCopyEx with nearest sampling, alpha
// blended; SDL_RenderFillRect with blending).
void SdlRenderCopyEx(benchmark::State& state, Op op) {
    std::unique_ptr<SDL_Surface, SurfaceDeleter> dest(SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888));
    std::unique_ptr<SDL_Surface, SurfaceDeleter> sprite(SDL_CreateRGBSurfaceWithFormat(0, kS, kS, 32, SDL_PIXELFORMAT_ARGB8888));
    if (!dest || !sprite) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) static_cast<uint32_t*>(sprite->pixels)[y * sprite->pitch / 4 + x] = SpritePixel(x, y);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(dest.get());
    SDL_Texture* texture = renderer ? SDL_CreateTextureFromSurface(renderer, sprite.get()) : nullptr;
    if (!texture) {
        state.SkipWithError("SDL software renderer failed");
        if (renderer) SDL_DestroyRenderer(renderer);
        return;
    }
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 20, 40, 200, 128);
    int64_t i = 0;
    for (auto _ : state) {
        const SDL_Rect at{100 + Jitter(i++), 100, kS, kS};
        if (op == Op::Fill)
            SDL_RenderFillRect(renderer, nullptr);
        else if (op == Op::Rotate)
            SDL_RenderCopyEx(renderer, texture, nullptr, &at, 30.0, nullptr, SDL_FLIP_NONE);
        else
            SDL_RenderCopyEx(renderer, texture, nullptr, &at, 0.0, nullptr, SDL_FLIP_HORIZONTAL);
    }
    benchmark::DoNotOptimize(dest->pixels);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
}

void Pixman(benchmark::State& state, Op op) {
    std::vector<uint32_t> d(size_t(kW) * kH), s(size_t(kS) * kS);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) d[size_t(y) * kW + x] = BackgroundPixel(x, y);
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) {
            // pixman takes premultiplied colour.
            const uint32_t p = SpritePixel(x, y), a = p >> 24;
            s[size_t(y) * kS + x] = a << 24 | (((p >> 16) & 0xFF) * a / 255) << 16 | (((p >> 8) & 0xFF) * a / 255) << 8 | (p & 0xFF) * a / 255;
        }
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, d.data(), kW * 4);
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kS, kS, s.data(), kS * 4);
    const pixman_color_t fill{uint16_t(20 * 257 / 2), uint16_t(40 * 257 / 2), uint16_t(200 * 257 / 2), 0x8080};
    pixman_image_t* solid = pixman_image_create_solid_fill(&fill);
    int64_t i = 0;
    for (auto _ : state) {
        if (op == Op::Fill)
            pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        else
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 100 + Jitter(i++), 100, kS, kS);
    }
    benchmark::DoNotOptimize(d.data());
    pixman_image_unref(solid);
    pixman_image_unref(src);
    pixman_image_unref(dst);
}


struct Row {
    const char* ours;
    const char* peer;
    const char* target;
};

const Row kRows[] = {
    {"Alpha/memory_image", "Alpha/sdl", "peer SDL BLEND"},
    {"Alpha/memory_image", "Alpha/pixman_over", "peer pixman OVER"},
    {"Alpha/surface565", "Alpha/sdl", "target >= 2x SDL"},
    {"Alpha/surface565", "Alpha/pixman_over", "peer pixman OVER"},
    {"Alpha/surface32", "Alpha/sdl", "target >= 3.5x SDL"},
    {"Alpha/surface32", "Alpha/pixman_over", "target >= 1x pixman"},
    {"Additive/surface32", "Additive/sdl", "target >= 2x SDL ADD"},
    {"Additive/surface565", "Additive/sdl", "target >= 2x SDL ADD"},
    {"Tinted/surface32", "Tinted/sdl", "target >= 2x SDL BLEND+mods"},
    {"Stretched/surface32", "Stretched/sdl", "target >= 2x SDL_BlitScaled"},
    {"Mirrored/surface32", "Mirrored/sdl_rendercopyex", "target >= 2x SDL_RenderCopyEx flip"},
    {"Mirrored/surface32", "Alpha/sdl", "peer SDL BLEND unmirrored"},
    {"Rotated30/surface32", "Rotated30/sdl_rendercopyex", "target >= 2x SDL_RenderCopyEx 30 deg (nearest)"},
    {"Rotated30/surface565", "Rotated30/sdl_rendercopyex", "target >= 2x SDL_RenderCopyEx 30 deg (nearest)"},
    {"Rotated30/surface32", "Alpha/sdl", "peer SDL BLEND unrotated"},
    {"FillAlpha/surface32", "FillAlpha/pixman_over", "peer pixman OVER solid"},
    {"FillAlpha/surface565", "FillAlpha/pixman_over", "peer pixman OVER solid"},
    {"FillAlpha/surface32", "FillAlpha/sdl_renderfillrect", "target >= 2x SDL_RenderFillRect BLEND"},
    {"FillAlpha/surface565", "FillAlpha/sdl_renderfillrect", "target >= 2x SDL_RenderFillRect BLEND"},
    {"FillAlpha/surface32", "FillAlpha/sdl_fill_copy", "peer SDL_FillRect (copy, no blend)"},
    {"Opaque/surface32", "Opaque/memcpy", "target >= 0.77x memcpy (within 1.3x)"},
};

} // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("Alpha/memory_image", MemoryAlpha);
    RegisterBenchmark("Alpha/surface565", Ours, 16, Op::Alpha);
    RegisterBenchmark("Alpha/surface32", Ours, 32, Op::Alpha);
    RegisterBenchmark("Alpha/sdl", Sdl, Op::Alpha);
    RegisterBenchmark("Alpha/pixman_over", Pixman, Op::Alpha);
    RegisterBenchmark("Additive/surface32", Ours, 32, Op::Additive);
    RegisterBenchmark("Additive/surface565", Ours, 16, Op::Additive);
    RegisterBenchmark("Additive/sdl", Sdl, Op::Additive);
    RegisterBenchmark("Tinted/surface32", Ours, 32, Op::Tinted);
    RegisterBenchmark("Tinted/sdl", Sdl, Op::Tinted);
    RegisterBenchmark("Stretched/surface32", Ours, 32, Op::Stretch);
    RegisterBenchmark("Stretched/sdl", Sdl, Op::Stretch);
    RegisterBenchmark("Mirrored/surface32", Ours, 32, Op::Mirror);
    RegisterBenchmark("Mirrored/sdl_rendercopyex", SdlRenderCopyEx, Op::Mirror);
    RegisterBenchmark("Rotated30/surface32", Ours, 32, Op::Rotate);
    RegisterBenchmark("Rotated30/surface565", Ours, 16, Op::Rotate);
    RegisterBenchmark("Rotated30/sdl_rendercopyex", SdlRenderCopyEx, Op::Rotate);
    RegisterBenchmark("FillAlpha/surface32", Ours, 32, Op::Fill);
    RegisterBenchmark("FillAlpha/surface565", Ours, 16, Op::Fill);
    RegisterBenchmark("FillAlpha/pixman_over", Pixman, Op::Fill);
    RegisterBenchmark("FillAlpha/sdl_fill_copy", Sdl, Op::Fill);
    RegisterBenchmark("FillAlpha/sdl_renderfillrect", SdlRenderCopyEx, Op::Fill);
    RegisterBenchmark("Opaque/surface32", OpaqueSurface);
    RegisterBenchmark("Opaque/memcpy", OpaqueMemcpy);

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& t = reporter.mTimes;
    std::printf("\n%-22s %10s  %-24s %10s %8s  %s\n", "ours", "us", "peer", "us", "speedup", "held against");
    for (const Row& r : kRows) {
        auto a = t.find(r.ours), b = t.find(r.peer);
        if (a == t.end() || b == t.end()) continue;
        std::printf("%-22s %10.1f  %-24s %10.1f %7.2fx  %s\n", r.ours, a->second / 1000.0, r.peer, b->second / 1000.0,
                    b->second / a->second, r.target);
    }
    return 0;
}
