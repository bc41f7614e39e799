// Software blits of the memory image, each next to the same work done by the
// libraries a user would pick instead, on the same 32-bit pixels: pixman for
// every operation it has (OVER, ADD, nearest and bilinear stretch, rotation),
// given the sprite premultiplied once as its form asks; SDL2's surface
// blitter where it has the operation (blending, additive, colour/alpha mod,
// colour key with RLE). Each case is "<case>/ours" beside "<case>/<peer>"; a
// run that leaves the destination as it was fails, and the table printed at
// the end gives each median with its range and the ratio to the peer's.
#include <benchmark/benchmark.h>
#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "bench/blit_cases.h"
#include "bench/collecting_reporter.h"
#include "bench/pixman_peer.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/pixel_blend.h"

namespace {

using Zephra::Color;
using Zephra::Graphics;
using Zephra::MemoryImage;
using Zephra::Rect;
using Zephra::RectD;

constexpr int kDestW = 800;
constexpr int kDestH = 600;
constexpr int kSpriteSize = 256;
constexpr int kStretchW = 512, kStretchH = 384;
constexpr float kRotatedX = 200, kRotatedY = 150;
const double kAngle = 30.0 * 3.14159265358979323846 / 180.0;

enum class Sprite {
    Mixed,   // transparent corners, an opaque middle and a soft ring between
    Half,    // every pixel at alpha 128
    Keyed,   // the disc of Mixed, each pixel wholly opaque or wholly transparent
};

uint32_t SpritePixel(Sprite kind, int x, int y) {
    int dx = x - kSpriteSize / 2;
    int dy = y - kSpriteSize / 2;
    int d2 = dx * dx + dy * dy;
    uint32_t a;
    if (kind == Sprite::Half)
        a = 128;
    else if (kind == Sprite::Keyed)
        a = d2 < 104 * 104 ? 255 : 0;
    else if (d2 < 80 * 80)
        a = 255;
    else if (d2 >= 128 * 128)
        a = 0;
    else
        a = uint32_t(255 - (d2 - 80 * 80) * 255 / (128 * 128 - 80 * 80));
    uint32_t r = uint32_t(x) & 0xFF;
    uint32_t g = uint32_t(y) & 0xFF;
    uint32_t b = uint32_t(x ^ y) & 0xFF;
    return a << 24 | r << 16 | g << 8 | b;
}

// The pixels a run changed are its work; a run that changed none fails.
void CheckDrawn(benchmark::State& state, const uint32_t* now, const std::vector<uint32_t>& before) {
    benchsummary::ReportWork(state, benchsummary::ChangedPixels(before.data(), now, before.size(), 4));
}

std::vector<uint32_t> Snapshot(const void* p, size_t pixels) {
    const auto* b = static_cast<const uint32_t*>(p);
    return std::vector<uint32_t>(b, b + pixels);
}

// --- ours ---

struct OurImages {
    MemoryImage dest;
    MemoryImage sprite;
    explicit OurImages(Sprite kind) {
        dest.Create(kDestW, kDestH);
        uint32_t* d = dest.GetBits();
        for (int y = 0; y < kDestH; ++y)
            for (int x = 0; x < kDestW; ++x) d[y * kDestW + x] = BackgroundPixel(x, y);
        dest.BitsChanged();
        sprite.Create(kSpriteSize, kSpriteSize);
        uint32_t* s = sprite.GetBits();
        for (int y = 0; y < kSpriteSize; ++y)
            for (int x = 0; x < kSpriteSize; ++x) s[y * kSpriteSize + x] = SpritePixel(kind, x, y);
        sprite.BitsChanged();
    }
};

void OursBlit(benchmark::State& state, Sprite kind, int drawMode, bool tinted) {
    OurImages im(kind);
    Graphics g(&im.dest);
    g.SetDrawMode(drawMode);
    if (tinted) {
        g.SetColorizeImages(true);
        g.SetColor(Color(255, 160, 80, 200));
    }
    g.DrawImage(&im.sprite, kWarmUpX, 100);
    const std::vector<uint32_t> before = Snapshot(im.dest.GetBits(), size_t(kDestW) * kDestH);
    int64_t i = 0;
    for (auto _ : state) g.DrawImage(&im.sprite, 100 + Jitter(i++), 100);
    CheckDrawn(state, im.dest.GetBits(), before);
}

void OursStretch(benchmark::State& state, bool fast) {
    OurImages im(Sprite::Mixed);
    Graphics g(&im.dest);
    g.SetFastStretch(fast);
    const std::vector<uint32_t> before = Snapshot(im.dest.GetBits(), size_t(kDestW) * kDestH);
    int64_t i = 0;
    for (auto _ : state)
        g.DrawImageInRect(&im.sprite, Rect(100 + Jitter(i++), 100, kStretchW, kStretchH),
                          Rect(0, 0, kSpriteSize, kSpriteSize));
    CheckDrawn(state, im.dest.GetBits(), before);
}

void OursRotated(benchmark::State& state) {
    OurImages im(Sprite::Mixed);
    Graphics g(&im.dest);
    const std::vector<uint32_t> before = Snapshot(im.dest.GetBits(), size_t(kDestW) * kDestH);
    int64_t i = 0;
    for (auto _ : state)
        g.DrawImageRotated(&im.sprite, kRotatedX + float(Jitter(i++)), kRotatedY, kAngle, kSpriteSize / 2.0f,
                           kSpriteSize / 2.0f);
    CheckDrawn(state, im.dest.GetBits(), before);
}

// --- SDL ---

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct SdlImages {
    SurfacePtr dest;
    SurfacePtr sprite;
    explicit SdlImages(Sprite kind) {
        dest.reset(SDL_CreateRGBSurfaceWithFormat(0, kDestW, kDestH, 32, SDL_PIXELFORMAT_ARGB8888));
        sprite.reset(SDL_CreateRGBSurfaceWithFormat(0, kSpriteSize, kSpriteSize, 32,
                                                    SDL_PIXELFORMAT_ARGB8888));
        if (!dest || !sprite) return;
        for (int y = 0; y < kDestH; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dest->pixels) + y * dest->pitch);
            for (int x = 0; x < kDestW; ++x) row[x] = BackgroundPixel(x, y);
        }
        for (int y = 0; y < kSpriteSize; ++y) {
            auto* row =
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(sprite->pixels) + y * sprite->pitch);
            for (int x = 0; x < kSpriteSize; ++x) row[x] = SpritePixel(kind, x, y);
        }
    }
    bool Ok() const { return dest && sprite; }
};

void SdlBlit(benchmark::State& state, Sprite kind, SDL_BlendMode mode, bool colorMod) {
    SdlImages im(kind);
    if (!im.Ok()) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    SDL_SetSurfaceBlendMode(im.sprite.get(), mode);
    if (colorMod) {
        SDL_SetSurfaceColorMod(im.sprite.get(), 255, 160, 80);
        SDL_SetSurfaceAlphaMod(im.sprite.get(), 200);
    }
    if (kind == Sprite::Keyed) {
        // Transparent pixels take a key that no opaque pixel of the sprite has
        // (red 255 with green 0 lies in its transparent corner); RLE-encoded.
        for (int y = 0; y < kSpriteSize; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(im.sprite->pixels) + y * im.sprite->pitch);
            for (int x = 0; x < kSpriteSize; ++x)
                if ((row[x] >> 24) == 0) row[x] = 0xFFFF00FFu;
        }
        SDL_SetSurfaceBlendMode(im.sprite.get(), SDL_BLENDMODE_NONE);
        SDL_SetColorKey(im.sprite.get(), SDL_TRUE, 0xFFFF00FFu);
        SDL_SetSurfaceRLE(im.sprite.get(), 1);
    }
    // SDL encodes its runs on the first blit and ours makes its tables on the
    // first draw: both done before timing.
    SDL_Rect first{kWarmUpX, 100, kSpriteSize, kSpriteSize};
    SDL_BlitSurface(im.sprite.get(), nullptr, im.dest.get(), &first);
    const std::vector<uint32_t> before = Snapshot(im.dest->pixels, size_t(kDestW) * kDestH);
    int64_t i = 0;
    for (auto _ : state) {
        SDL_Rect at{100 + Jitter(i++), 100, kSpriteSize, kSpriteSize};
        SDL_BlitSurface(im.sprite.get(), nullptr, im.dest.get(), &at);
    }
    CheckDrawn(state, static_cast<const uint32_t*>(im.dest->pixels), before);
}

void SdlStretchNearest(benchmark::State& state) {
    SdlImages im(Sprite::Mixed);
    if (!im.Ok()) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    SDL_SetSurfaceBlendMode(im.sprite.get(), SDL_BLENDMODE_BLEND);
    const std::vector<uint32_t> before = Snapshot(im.dest->pixels, size_t(kDestW) * kDestH);
    int64_t i = 0;
    for (auto _ : state) {
        SDL_Rect at{100 + Jitter(i++), 100, kStretchW, kStretchH};
        SDL_BlitScaled(im.sprite.get(), nullptr, im.dest.get(), &at);
    }
    CheckDrawn(state, static_cast<const uint32_t*>(im.dest->pixels), before);
}

// --- pixman ---

enum class PixmanOp { Over, Add, StretchNearest, StretchBilinear, RotateBilinear };

struct PixmanImageDeleter {
    void operator()(pixman_image_t* p) const { pixman_image_unref(p); }
};
using PixmanPtr = std::unique_ptr<pixman_image_t, PixmanImageDeleter>;

// The same work through pixman: the sprite premultiplied once with our
// rounding (blend::Div255, so that ADD gives our additive blit's very
// pixels) over or onto an 800 x 600 destination, x8r8g8b8 for OVER as ours
// is opaque there, a8r8g8b8 for ADD as ours adds the alpha too; the
// stretches and the rotation filtered as named, edges repeated for the
// bilinear stretch as ours repeats them.
void Pixman(benchmark::State& state, Sprite kind, PixmanOp op) {
    std::vector<uint32_t> d(size_t(kDestW) * kDestH), s(size_t(kSpriteSize) * kSpriteSize);
    for (int y = 0; y < kDestH; ++y)
        for (int x = 0; x < kDestW; ++x) d[size_t(y) * kDestW + x] = BackgroundPixel(x, y);
    for (int y = 0; y < kSpriteSize; ++y)
        for (int x = 0; x < kSpriteSize; ++x) {
            const uint32_t p = SpritePixel(kind, x, y), a = p >> 24;
            auto pre = [a](uint32_t c) { return Zephra::blend::Div255(c * a); };
            s[size_t(y) * kSpriteSize + x] =
                a << 24 | pre((p >> 16) & 0xFF) << 16 | pre((p >> 8) & 0xFF) << 8 | pre(p & 0xFF);
        }
    const pixman_format_code_t destFormat = op == PixmanOp::Add ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8;
    PixmanPtr dst(pixman_image_create_bits(destFormat, kDestW, kDestH, d.data(), kDestW * 4));
    PixmanPtr src(pixman_image_create_bits(PIXMAN_a8r8g8b8, kSpriteSize, kSpriteSize, s.data(), kSpriteSize * 4));
    if (!dst || !src) {
        state.SkipWithError("pixman image creation failed");
        return;
    }
    if (op == PixmanOp::StretchBilinear || op == PixmanOp::StretchNearest) {
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kSpriteSize) / kStretchW),
                                    pixman_double_to_fixed(double(kSpriteSize) / kStretchH));
        pixman_image_set_transform(src.get(), &t);
        if (op == PixmanOp::StretchBilinear) {
            pixman_image_set_filter(src.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
            pixman_image_set_repeat(src.get(), PIXMAN_REPEAT_PAD);
        } else {
            pixman_image_set_filter(src.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
        }
    } else if (op == PixmanOp::RotateBilinear) {
        pixman_image_set_filter(src.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    }
    const std::vector<uint32_t> before = d;
    int64_t i = 0;
    for (auto _ : state) {
        const int jitter = Jitter(i++);
        if (op == PixmanOp::Over) {
            pixman_image_composite32(PIXMAN_OP_OVER, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 100 + jitter, 100,
                                     kSpriteSize, kSpriteSize);
        } else if (op == PixmanOp::Add) {
            pixman_image_composite32(PIXMAN_OP_ADD, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 100 + jitter, 100,
                                     kSpriteSize, kSpriteSize);
        } else if (op == PixmanOp::StretchBilinear || op == PixmanOp::StretchNearest) {
            pixman_image_composite32(PIXMAN_OP_OVER, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 100 + jitter, 100,
                                     kStretchW, kStretchH);
        } else {
            int x0, y0, w, h;
            if (PixmanRotation(src.get(), kRotatedX + float(jitter), kRotatedY, kSpriteSize, kSpriteSize, kAngle, kDestW,
                               kDestH, x0, y0, w, h))
                pixman_image_composite32(PIXMAN_OP_OVER, src.get(), nullptr, dst.get(), 0, 0, 0, 0, x0, y0, w, h);
        }
        benchmark::ClobberMemory();
    }
    CheckDrawn(state, d.data(), before);
}

// Our additive blit and pixman's ADD of the sprite premultiplied with our
// rounding give the same pixels: the two rows measure the same work.
bool AdditiveMatchesPixman() {
    OurImages im(Sprite::Mixed);
    std::vector<uint32_t> d(im.dest.GetBits(), im.dest.GetBits() + size_t(kDestW) * kDestH);
    std::vector<uint32_t> s(size_t(kSpriteSize) * kSpriteSize);
    const uint32_t* pre = im.sprite.GetPremultipliedData();
    std::copy(pre, pre + s.size(), s.begin());
    Graphics g(&im.dest);
    g.SetDrawMode(Zephra::DRAWMODE_ADDITIVE);
    g.DrawImage(&im.sprite, 103, 100);
    PixmanPtr dst(pixman_image_create_bits(PIXMAN_a8r8g8b8, kDestW, kDestH, d.data(), kDestW * 4));
    PixmanPtr src(pixman_image_create_bits(PIXMAN_a8r8g8b8, kSpriteSize, kSpriteSize, s.data(), kSpriteSize * 4));
    pixman_image_composite32(PIXMAN_OP_ADD, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 103, 100, kSpriteSize,
                             kSpriteSize);
    return std::equal(d.begin(), d.end(), im.dest.GetBits());
}

// Ours beside one peer; the ratio is ours over the peer's (below 1: ours faster).
const std::vector<benchsummary::Row> kRows = {
    {"Blit/1_Alpha/ours", "Blit/1_Alpha/pixman", "pixman OVER, premultiplied"},
    {"Blit/1_Alpha/ours", "Blit/1_Alpha/sdl", "SDL_BlitSurface BLEND"},
    {"Blit/1b_AlphaHalf/ours", "Blit/1b_AlphaHalf/pixman", "pixman OVER, every pixel alpha 128"},
    {"Blit/1b_AlphaHalf/ours", "Blit/1b_AlphaHalf/sdl", "SDL_BlitSurface BLEND, every pixel alpha 128"},
    {"Blit/2_Additive/ours", "Blit/2_Additive/pixman", "pixman ADD, premultiplied with our rounding (same pixels)"},
    {"Blit/2_Additive/ours", "Blit/2_Additive/sdl", "SDL_BlitSurface ADD"},
    {"Blit/3_Colorized/ours", "Blit/3_Colorized/sdl", "SDL_BlitSurface BLEND + colour/alpha mod"},
    {"Blit/4_StretchFast/ours", "Blit/4_StretchFast/pixman", "pixman OVER, nearest scale"},
    {"Blit/4_StretchFast/ours", "Blit/4_StretchFast/sdl", "SDL_BlitScaled BLEND (nearest)"},
    {"Blit/5_StretchFiltered/ours", "Blit/5_StretchFiltered/pixman", "pixman OVER, bilinear scale, edges padded"},
    {"Blit/6_Rotated30/ours", "Blit/6_Rotated30/pixman", "pixman OVER, bilinear 30-degree turn"},
    {"Blit/7_Keyed/ours", "Blit/7_Keyed/sdl", "SDL_BlitSurface colour key, RLE"},
    {"Blit/7_Keyed/ours", "Blit/7_Keyed/pixman", "pixman OVER, alpha 0 or 255"},
};

} // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    if (!AdditiveMatchesPixman()) {
        std::fprintf(stderr, "the additive blit and pixman ADD differ: the rows would not measure the same work\n");
        return 1;
    }
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("Blit/1_Alpha/ours", OursBlit, Sprite::Mixed, Zephra::DRAWMODE_NORMAL, false);
    RegisterBenchmark("Blit/1_Alpha/pixman", Pixman, Sprite::Mixed, PixmanOp::Over);
    RegisterBenchmark("Blit/1_Alpha/sdl", SdlBlit, Sprite::Mixed, SDL_BLENDMODE_BLEND, false);
    RegisterBenchmark("Blit/1b_AlphaHalf/ours", OursBlit, Sprite::Half, Zephra::DRAWMODE_NORMAL, false);
    RegisterBenchmark("Blit/1b_AlphaHalf/pixman", Pixman, Sprite::Half, PixmanOp::Over);
    RegisterBenchmark("Blit/1b_AlphaHalf/sdl", SdlBlit, Sprite::Half, SDL_BLENDMODE_BLEND, false);
    RegisterBenchmark("Blit/2_Additive/ours", OursBlit, Sprite::Mixed, Zephra::DRAWMODE_ADDITIVE, false);
    RegisterBenchmark("Blit/2_Additive/pixman", Pixman, Sprite::Mixed, PixmanOp::Add);
    RegisterBenchmark("Blit/2_Additive/sdl", SdlBlit, Sprite::Mixed, SDL_BLENDMODE_ADD, false);
    RegisterBenchmark("Blit/3_Colorized/ours", OursBlit, Sprite::Mixed, Zephra::DRAWMODE_NORMAL, true);
    RegisterBenchmark("Blit/3_Colorized/sdl", SdlBlit, Sprite::Mixed, SDL_BLENDMODE_BLEND, true);
    RegisterBenchmark("Blit/4_StretchFast/ours", OursStretch, true);
    RegisterBenchmark("Blit/4_StretchFast/pixman", Pixman, Sprite::Mixed, PixmanOp::StretchNearest);
    RegisterBenchmark("Blit/4_StretchFast/sdl", SdlStretchNearest);
    RegisterBenchmark("Blit/5_StretchFiltered/ours", OursStretch, false);
    RegisterBenchmark("Blit/5_StretchFiltered/pixman", Pixman, Sprite::Mixed, PixmanOp::StretchBilinear);
    RegisterBenchmark("Blit/6_Rotated30/ours", OursRotated);
    RegisterBenchmark("Blit/6_Rotated30/pixman", Pixman, Sprite::Mixed, PixmanOp::RotateBilinear);
    RegisterBenchmark("Blit/7_Keyed/ours", OursBlit, Sprite::Keyed, Zephra::DRAWMODE_NORMAL, false);
    RegisterBenchmark("Blit/7_Keyed/sdl", SdlBlit, Sprite::Keyed, SDL_BLENDMODE_NONE, false);
    RegisterBenchmark("Blit/7_Keyed/pixman", Pixman, Sprite::Keyed, PixmanOp::Over);

    return benchsummary::RunMain(argc, argv, [](const benchsummary::Figures&, benchsummary::Summary& summary) {
        summary.Table("Memory image blits, a 256 x 256 sprite onto 800 x 600", kRows);
    });
}
