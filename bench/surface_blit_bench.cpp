// The surface loops on a 256 x 256 sprite onto 800 x 600, each beside its
// peers in the same run and the same pixel format: pixman for the operations
// it has (OVER, ADD, nearest stretch, bilinear rotation, SRC) on x8r8g8b8 or
// r5g6b5, SDL2's surface blitter where it has the operation (colour key with
// RLE, blending, colour and alpha mod) on ARGB8888 or RGB565, and memcpy of
// the bytes an opaque picture writes. A run that leaves the destination as it
// was fails; the table at the end gives each median with its range and the
// ratio of its median to the peer's.
#include <benchmark/benchmark.h>
#include <SDL.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/blit_cases.h"
#include "bench/collecting_reporter.h"
#include "bench/pixman_peer.h"
#include "framework/display/surface_kernels.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"

namespace {

using namespace Zephra;
using namespace Zephra::surface;

constexpr int kW = 800, kH = 600, kS = 256;
constexpr int kStretchW = 512, kStretchH = 384;
const double kAngle = 30.0 * M_PI / 180.0;

enum class Sprite { Soft, Keyed };

// Soft: transparent corners, an opaque middle and a soft ring between. Keyed:
// the same disc, each pixel wholly opaque or wholly transparent.
uint32_t SpritePixel(Sprite kind, int x, int y) {
    const int dx = x - kS / 2, dy = y - kS / 2, d2 = dx * dx + dy * dy;
    uint32_t a = d2 < 80 * 80 ? 255 : d2 >= 128 * 128 ? 0 : uint32_t(255 - (d2 - 80 * 80) * 255 / (128 * 128 - 80 * 80));
    if (kind == Sprite::Keyed) a = a >= 128 ? 255 : 0;
    return a << 24 | (uint32_t(x) & 0xFF) << 16 | (uint32_t(y) & 0xFF) << 8 | (uint32_t(x ^ y) & 0xFF);
}

uint16_t To565(uint32_t p) { return uint16_t(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F)); }

// The pixels a run changed are its work; a run that changed none fails.
void CheckDrawn(benchmark::State& state, const void* now, const std::vector<uint8_t>& before, int bits) {
    const size_t bpp = size_t(bits / 8);
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), now, before.size() / bpp, bpp));
}

std::vector<uint8_t> Snapshot(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
}

// An 800 x 600 picture in destination pixels: the background, or zero.
std::vector<uint8_t> Picture(int bits, bool background) {
    std::vector<uint8_t> mem(size_t(kW) * kH * size_t(bits / 8));
    if (!background) return mem;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const uint32_t p = BackgroundPixel(x, y);
            if (bits == 16)
                reinterpret_cast<uint16_t*>(mem.data())[size_t(y) * kW + x] = To565(p);
            else
                reinterpret_cast<uint32_t*>(mem.data())[size_t(y) * kW + x] = p;
        }
    return mem;
}

// ---- ours ----

struct SurfaceCase {
    PixelFormat f;
    std::vector<uint8_t> mem;
    SurfaceView view;
    MemoryImage sprite;
    NativeDisplay nd;
    SurfaceCase(int bits, Sprite kind) {
        f = bits == 16 ? MakePixelFormat(16, 0xF800, 0x07E0, 0x001F) : MakePixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
        mem = Picture(bits, true);
        view = {mem.data(), kW * bits / 8, kW, kH};
        std::vector<uint32_t> px(size_t(kS) * kS);
        for (int y = 0; y < kS; ++y)
            for (int x = 0; x < kS; ++x) px[size_t(y) * kS + x] = SpritePixel(kind, x, y);
        sprite.SetBits(px.data(), kS, kS);
        sprite.AnalyzeAlpha();   // as the surface image does before it blits
        nd.SetFormat(bits, f.mask[0], f.mask[1], f.mask[2]);
    }
};

enum class Op { Alpha, Additive, Tinted, Stretch, Mirror, Rotate, Fill, Keyed };

void Ours(benchmark::State& state, int bits, Op op) {
    SurfaceCase sc(bits, op == Op::Keyed ? Sprite::Keyed : Sprite::Soft);
    const NativeSource normal = NativeOf(sc.sprite, &sc.nd, false), additive = NativeOf(sc.sprite, &sc.nd, true);
    const NativeSource copies = CopyNativeOf(sc.sprite, &sc.nd);
    ArgbSource argb;
    argb.bits = sc.sprite.GetBits();
    argb.width = argb.height = kS;
    const Color tint(255, 160, 80, 200);
    const std::vector<uint8_t> before = sc.mem;
    int64_t i = 0;
    for (auto _ : state) {
        const int x = 100 + Jitter(i++);
        const Rect all(0, 0, kS, kS);
        switch (op) {
        case Op::Alpha: BltAlpha(sc.view, sc.f, x, 100, normal, all, Color::White, false); break;
        case Op::Keyed: BltOpaque(sc.view, sc.f, x, 100, copies, all, true, false); break;
        case Op::Additive: BltAdditive(sc.view, sc.f, x, 100, additive, all, Color::White, false); break;
        case Op::Tinted: BltAlpha(sc.view, sc.f, x, 100, normal, all, tint, false); break;
        case Op::Mirror: BltAlpha(sc.view, sc.f, x, 100, normal, all, Color::White, true); break;
        case Op::Stretch:
            StretchNearest(sc.view, sc.f, normal, Rect(x, 100, kStretchW, kStretchH), RectD(0, 0, kS, kS),
                           Color::White, false, false);
            break;
        case Op::Rotate: {
            Rotation r{float(200 + Jitter(i)), 150.0f, all, RectD(), kAngle, kS / 2.0f, kS / 2.0f};
            BltRotatedClipHelper(&r.x, &r.y, all, Rect(0, 0, kW, kH), r.angle, r.area, r.centerX, r.centerY);
            RotateBilinear(sc.view, sc.f, argb, r, Color::White, false);
            break;
        }
        case Op::Fill: FillRectNormal(sc.view, sc.f, Rect(0, 0, kW, kH), Color(20, 40, 200, 128)); break;
        }
        benchmark::ClobberMemory();
    }
    CheckDrawn(state, sc.mem.data(), before, bits);
}

// An opaque 800 x 600 picture (the office ground) copied onto a surface.
void OursOpaque(benchmark::State& state, int bits) {
    const PixelFormat f =
        bits == 16 ? MakePixelFormat(16, 0xF800, 0x07E0, 0x001F) : MakePixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
    std::vector<uint8_t> mem = Picture(bits, false);
    const SurfaceView view{mem.data(), kW * bits / 8, kW, kH};
    std::vector<uint32_t> px(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) px[size_t(y) * kW + x] = BackgroundPixel(x, y);
    MemoryImage ground;
    ground.SetBits(px.data(), kW, kH);
    NativeDisplay nd;
    nd.SetFormat(bits, f.mask[0], f.mask[1], f.mask[2]);
    const NativeSource src = CopyNativeOf(ground, &nd);
    const std::vector<uint8_t> before = mem;
    for (auto _ : state) {
        BltOpaque(view, f, 0, 0, src, Rect(0, 0, kW, kH), false, false);
        benchmark::ClobberMemory();
    }
    CheckDrawn(state, mem.data(), before, bits);
}

// The bytes that copy writes, by memcpy.
void Memcpy(benchmark::State& state, int bits) {
    const std::vector<uint8_t> from = Picture(bits, true);
    std::vector<uint8_t> to(from.size());
    const std::vector<uint8_t> before = to;
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    CheckDrawn(state, to.data(), before, bits);
}

// ---- SDL2 ----

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

SurfacePtr SdlPicture(int bits) {
    const uint32_t format = bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_ARGB8888;
    SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, kW, kH, bits, format));
    if (!s) return s;
    const std::vector<uint8_t> px = Picture(bits, true);
    for (int y = 0; y < kH; ++y)
        std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, px.data() + size_t(y) * kW * (bits / 8),
                    size_t(kW) * (bits / 8));
    return s;
}

SurfacePtr SdlSprite(Sprite kind) {
    SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, kS, kS, 32, SDL_PIXELFORMAT_ARGB8888));
    if (!s) return s;
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x)
            static_cast<uint32_t*>(s->pixels)[y * s->pitch / 4 + x] = SpritePixel(kind, x, y);
    return s;
}

// The keyed sprite in the destination's format with its transparent pixels
// set to a key no opaque pixel has (the form ours draws from), RLE-encoded.
SurfacePtr SdlKeyedSprite(int bits) {
    SurfacePtr argb = SdlSprite(Sprite::Keyed);
    if (!argb) return argb;
    const uint32_t key = 0xFF00FF;   // x ^ y of the sprite's pixels never gives this with red 0 and green 255
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) {
            uint32_t& p = static_cast<uint32_t*>(argb->pixels)[y * argb->pitch / 4 + x];
            p = (p >> 24) == 0 ? 0xFF000000u | key : p;
        }
    SurfacePtr s(SDL_ConvertSurfaceFormat(argb.get(), bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_ARGB8888, 0));
    if (!s) return s;
    SDL_SetSurfaceBlendMode(s.get(), SDL_BLENDMODE_NONE);
    SDL_SetColorKey(s.get(), SDL_TRUE, SDL_MapRGB(s->format, 0xFF, 0x00, 0xFF));
    SDL_SetSurfaceRLE(s.get(), 1);
    return s;
}

void Sdl(benchmark::State& state, int bits, Op op) {
    SurfacePtr dest = SdlPicture(bits);
    SurfacePtr sprite = op == Op::Keyed ? SdlKeyedSprite(bits) : SdlSprite(Sprite::Soft);
    if (!dest || !sprite) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    if (op != Op::Keyed)
        SDL_SetSurfaceBlendMode(sprite.get(), op == Op::Additive ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
    if (op == Op::Tinted) {
        SDL_SetSurfaceColorMod(sprite.get(), 255, 160, 80);
        SDL_SetSurfaceAlphaMod(sprite.get(), 200);
    }
    if (op == Op::Keyed) {
        // SDL encodes the runs on the first blit: done before timing, as ours
        // has its tables made before timing.
        SDL_Rect at{kWarmUpX, 100, kS, kS};
        SDL_BlitSurface(sprite.get(), nullptr, dest.get(), &at);
    }
    const std::vector<uint8_t> before = Snapshot(dest->pixels, size_t(dest->pitch) * kH);
    int64_t i = 0;
    for (auto _ : state) {
        SDL_Rect at{100 + Jitter(i++), 100, op == Op::Stretch ? kStretchW : kS, op == Op::Stretch ? kStretchH : kS};
        if (op == Op::Stretch)
            SDL_BlitScaled(sprite.get(), nullptr, dest.get(), &at);
        else if (op == Op::Fill)
            SDL_FillRect(dest.get(), nullptr, 0x801428C8);
        else
            SDL_BlitSurface(sprite.get(), nullptr, dest.get(), &at);
    }
    CheckDrawn(state, dest->pixels, before, bits);
}

// SDL's own mirroring and blended fill: the software renderer drawing into a
// surface (SDL_RenderCopyEx with nearest sampling, SDL_RenderFillRect).
void SdlRenderer(benchmark::State& state, Op op) {
    SurfacePtr dest = SdlPicture(32);
    SurfacePtr sprite = SdlSprite(Sprite::Soft);
    if (!dest || !sprite) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
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
    const std::vector<uint8_t> before = Snapshot(dest->pixels, size_t(dest->pitch) * kH);
    int64_t i = 0;
    for (auto _ : state) {
        const SDL_Rect at{100 + Jitter(i++), 100, kS, kS};
        if (op == Op::Fill)
            SDL_RenderFillRect(renderer, nullptr);
        else
            SDL_RenderCopyEx(renderer, texture, nullptr, &at, 0.0, nullptr, SDL_FLIP_HORIZONTAL);
    }
    CheckDrawn(state, dest->pixels, before, 32);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
}

// ---- pixman ----

struct PixmanDeleter {
    void operator()(pixman_image_t* p) const { pixman_image_unref(p); }
};
using PixmanPtr = std::unique_ptr<pixman_image_t, PixmanDeleter>;

// The sprite premultiplied, pixman's form.
std::vector<uint32_t> Premultiplied(Sprite kind) {
    std::vector<uint32_t> s(size_t(kS) * kS);
    for (int y = 0; y < kS; ++y)
        for (int x = 0; x < kS; ++x) {
            const uint32_t p = SpritePixel(kind, x, y), a = p >> 24;
            auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
            s[size_t(y) * kS + x] = a << 24 | pre((p >> 16) & 0xFF) << 16 | pre((p >> 8) & 0xFF) << 8 | pre(p & 0xFF);
        }
    return s;
}

enum class PixmanOp { Over, Add, Keyed, Nearest, Rotate, Fill, Src };

void Pixman(benchmark::State& state, int bits, PixmanOp op) {
    const pixman_format_code_t format = bits == 16 ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8;
    std::vector<uint8_t> d = Picture(bits, op != PixmanOp::Src);
    std::vector<uint8_t> ground = Picture(bits, true);
    std::vector<uint32_t> s = Premultiplied(op == PixmanOp::Keyed ? Sprite::Keyed : Sprite::Soft);
    PixmanPtr dst(pixman_image_create_bits(format, kW, kH, reinterpret_cast<uint32_t*>(d.data()), kW * bits / 8));
    PixmanPtr src(op == PixmanOp::Src
                      ? pixman_image_create_bits(format, kW, kH, reinterpret_cast<uint32_t*>(ground.data()), kW * bits / 8)
                      : pixman_image_create_bits(PIXMAN_a8r8g8b8, kS, kS, s.data(), kS * 4));
    const pixman_color_t fill{uint16_t(20 * 257 / 2), uint16_t(40 * 257 / 2), uint16_t(200 * 257 / 2), 0x8080};
    PixmanPtr solid(pixman_image_create_solid_fill(&fill));
    if (!dst || !src || !solid) {
        state.SkipWithError("pixman image creation failed");
        return;
    }
    if (op == PixmanOp::Nearest) {
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kS) / kStretchW),
                                    pixman_double_to_fixed(double(kS) / kStretchH));
        pixman_image_set_transform(src.get(), &t);
        pixman_image_set_filter(src.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
    } else if (op == PixmanOp::Rotate) {
        pixman_image_set_filter(src.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    }
    const std::vector<uint8_t> before = d;
    int64_t i = 0;
    for (auto _ : state) {
        const int x = 100 + Jitter(i++);
        switch (op) {
        case PixmanOp::Over:
        case PixmanOp::Keyed:
            pixman_image_composite32(PIXMAN_OP_OVER, src.get(), nullptr, dst.get(), 0, 0, 0, 0, x, 100, kS, kS);
            break;
        case PixmanOp::Add:
            pixman_image_composite32(PIXMAN_OP_ADD, src.get(), nullptr, dst.get(), 0, 0, 0, 0, x, 100, kS, kS);
            break;
        case PixmanOp::Nearest:
            pixman_image_composite32(PIXMAN_OP_OVER, src.get(), nullptr, dst.get(), 0, 0, 0, 0, x, 100, kStretchW,
                                     kStretchH);
            break;
        case PixmanOp::Fill:
            pixman_image_composite32(PIXMAN_OP_OVER, solid.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, kW, kH);
            break;
        case PixmanOp::Src:
            pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, kW, kH);
            break;
        case PixmanOp::Rotate: {
            int x0, y0, w, h;
            if (PixmanRotation(src.get(), float(200 + Jitter(i)), 150.0f, kS, kS, kAngle, kW, kH, x0, y0, w, h))
                pixman_image_composite32(PIXMAN_OP_OVER, src.get(), nullptr, dst.get(), 0, 0, 0, 0, x0, y0, w, h);
            break;
        }
        }
        benchmark::ClobberMemory();
    }
    CheckDrawn(state, d.data(), before, bits);
}

// Ours beside one peer; the ratio is ours over the peer's (below 1: ours faster).
const std::vector<benchsummary::Row> kRows = {
    {"Keyed/surface32", "Keyed/sdl_rle32", "SDL colour key, RLE, ARGB8888"},
    {"Keyed/surface32", "Keyed/pixman_over32", "pixman OVER x8r8g8b8, alpha 0 or 255"},
    {"Keyed/surface565", "Keyed/sdl_rle565", "SDL colour key, RLE, RGB565"},
    {"Keyed/surface565", "Keyed/pixman_over565", "pixman OVER r5g6b5, alpha 0 or 255"},
    {"Opaque/surface32", "Opaque/memcpy32", "memcpy of the 1,920,000 bytes written"},
    {"Opaque/surface32", "Opaque/pixman_src32", "pixman SRC x8r8g8b8"},
    {"Opaque/surface565", "Opaque/memcpy565", "memcpy of the 960,000 bytes written"},
    {"Opaque/surface565", "Opaque/pixman_src565", "pixman SRC r5g6b5"},
    {"Alpha/surface32", "Alpha/pixman_over32", "pixman OVER x8r8g8b8"},
    {"Alpha/surface32", "Alpha/sdl32", "SDL BLEND ARGB8888"},
    {"Alpha/surface565", "Alpha/pixman_over565", "pixman OVER r5g6b5"},
    {"Alpha/surface565", "Alpha/sdl565", "SDL BLEND RGB565"},
    {"Additive/surface32", "Additive/pixman_add32", "pixman ADD x8r8g8b8"},
    {"Additive/surface32", "Additive/sdl32", "SDL ADD ARGB8888"},
    {"Additive/surface565", "Additive/pixman_add565", "pixman ADD r5g6b5"},
    {"Additive/surface565", "Additive/sdl565", "SDL ADD RGB565"},
    {"Tinted/surface32", "Tinted/sdl32", "SDL BLEND + colour/alpha mod ARGB8888"},
    {"Tinted/surface565", "Tinted/sdl565", "SDL BLEND + colour/alpha mod RGB565"},
    {"Stretched/surface32", "Stretched/pixman_nearest32", "pixman OVER nearest x8r8g8b8"},
    {"Stretched/surface32", "Stretched/sdl32", "SDL_BlitScaled BLEND ARGB8888"},
    {"Stretched/surface565", "Stretched/pixman_nearest565", "pixman OVER nearest r5g6b5"},
    {"Mirrored/surface32", "Mirrored/sdl_rendercopyex32", "SDL_RenderCopyEx flip ARGB8888"},
    {"Rotated30/surface32", "Rotated30/pixman_bilinear32", "pixman OVER bilinear 30 degrees x8r8g8b8"},
    {"Rotated30/surface565", "Rotated30/pixman_bilinear565", "pixman OVER bilinear 30 degrees r5g6b5"},
    {"FillAlpha/surface32", "FillAlpha/pixman_over32", "pixman OVER solid x8r8g8b8"},
    {"FillAlpha/surface32", "FillAlpha/sdl_renderfillrect32", "SDL_RenderFillRect BLEND ARGB8888"},
    {"FillAlpha/surface565", "FillAlpha/pixman_over565", "pixman OVER solid r5g6b5"},
};

} // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    using benchmark::RegisterBenchmark;
    for (int bits : {32, 16}) {
        const std::string n = bits == 16 ? "565" : "32";
        RegisterBenchmark(("Keyed/surface" + n).c_str(), Ours, bits, Op::Keyed);
        RegisterBenchmark(("Keyed/sdl_rle" + n).c_str(), Sdl, bits, Op::Keyed);
        RegisterBenchmark(("Keyed/pixman_over" + n).c_str(), Pixman, bits, PixmanOp::Keyed);
        RegisterBenchmark(("Opaque/surface" + n).c_str(), OursOpaque, bits);
        RegisterBenchmark(("Opaque/memcpy" + n).c_str(), Memcpy, bits);
        RegisterBenchmark(("Opaque/pixman_src" + n).c_str(), Pixman, bits, PixmanOp::Src);
        RegisterBenchmark(("Alpha/surface" + n).c_str(), Ours, bits, Op::Alpha);
        RegisterBenchmark(("Alpha/pixman_over" + n).c_str(), Pixman, bits, PixmanOp::Over);
        RegisterBenchmark(("Alpha/sdl" + n).c_str(), Sdl, bits, Op::Alpha);
        RegisterBenchmark(("Additive/surface" + n).c_str(), Ours, bits, Op::Additive);
        RegisterBenchmark(("Additive/pixman_add" + n).c_str(), Pixman, bits, PixmanOp::Add);
        RegisterBenchmark(("Additive/sdl" + n).c_str(), Sdl, bits, Op::Additive);
        RegisterBenchmark(("Tinted/surface" + n).c_str(), Ours, bits, Op::Tinted);
        RegisterBenchmark(("Tinted/sdl" + n).c_str(), Sdl, bits, Op::Tinted);
        RegisterBenchmark(("Stretched/surface" + n).c_str(), Ours, bits, Op::Stretch);
        RegisterBenchmark(("Stretched/pixman_nearest" + n).c_str(), Pixman, bits, PixmanOp::Nearest);
        RegisterBenchmark(("Rotated30/surface" + n).c_str(), Ours, bits, Op::Rotate);
        RegisterBenchmark(("Rotated30/pixman_bilinear" + n).c_str(), Pixman, bits, PixmanOp::Rotate);
        RegisterBenchmark(("FillAlpha/surface" + n).c_str(), Ours, bits, Op::Fill);
        RegisterBenchmark(("FillAlpha/pixman_over" + n).c_str(), Pixman, bits, PixmanOp::Fill);
    }
    RegisterBenchmark("Stretched/sdl32", Sdl, 32, Op::Stretch);
    RegisterBenchmark("Mirrored/surface32", Ours, 32, Op::Mirror);
    RegisterBenchmark("Mirrored/sdl_rendercopyex32", SdlRenderer, Op::Mirror);
    RegisterBenchmark("FillAlpha/sdl_renderfillrect32", SdlRenderer, Op::Fill);

    return benchsummary::RunMain(argc, argv, [](const benchsummary::Figures&, benchsummary::Summary& summary) {
        summary.Table("Surface blits, a 256 x 256 sprite onto 800 x 600", kRows);
    });
}
