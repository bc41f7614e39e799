// Software blits of the memory image, each next to the same work done by SDL2's
// surface blitter. Pairs share a name prefix ("<case>/ours", "<case>/sdl"); the
// table printed at the end gives ours/sdl per pair.
#include <benchmark/benchmark.h>
#include <SDL.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/collecting_reporter.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"

namespace {

using Zephra::Color;
using Zephra::Graphics;
using Zephra::MemoryImage;
using Zephra::Rect;

constexpr int kDestW = 800;
constexpr int kDestH = 600;
constexpr int kSpriteSize = 256;

// A sprite with every kind of alpha: transparent corners, an opaque middle and
// a soft ring between, over a colour pattern.
uint32_t SpritePixel(int x, int y) {
    int dx = x - kSpriteSize / 2;
    int dy = y - kSpriteSize / 2;
    int d2 = dx * dx + dy * dy;
    uint32_t a;
    if (d2 < 80 * 80)
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

uint32_t BackgroundPixel(int x, int y) {
    return 0xFF000000u | uint32_t((x * 3) & 0xFF) << 16 | uint32_t((y * 5) & 0xFF) << 8 | 0x40;
}

struct OurImages {
    MemoryImage dest;
    MemoryImage sprite;
    OurImages() {
        dest.Create(kDestW, kDestH);
        uint32_t* d = dest.GetBits();
        for (int y = 0; y < kDestH; ++y)
            for (int x = 0; x < kDestW; ++x) d[y * kDestW + x] = BackgroundPixel(x, y);
        dest.BitsChanged();
        sprite.Create(kSpriteSize, kSpriteSize);
        uint32_t* s = sprite.GetBits();
        for (int y = 0; y < kSpriteSize; ++y)
            for (int x = 0; x < kSpriteSize; ++x) s[y * kSpriteSize + x] = SpritePixel(x, y);
        sprite.BitsChanged();
    }
};

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct SdlImages {
    SurfacePtr dest;
    SurfacePtr sprite;
    SdlImages() {
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
            for (int x = 0; x < kSpriteSize; ++x) row[x] = SpritePixel(x, y);
        }
    }
    bool Ok() const { return dest && sprite; }
};

// The sprite's position moves a little each iteration so that no pass is a
// repeat of the one before.
int Jitter(int64_t i) { return int(i % 7); }

// --- ours ---

void OursAlpha(benchmark::State& state) {
    OurImages im;
    Graphics g(&im.dest);
    int64_t i = 0;
    for (auto _ : state) g.DrawImage(&im.sprite, 100 + Jitter(i++), 100);
    benchmark::DoNotOptimize(im.dest.GetBits()[0]);
}

void OursAdditive(benchmark::State& state) {
    OurImages im;
    Graphics g(&im.dest);
    g.SetDrawMode(Zephra::DRAWMODE_ADDITIVE);
    int64_t i = 0;
    for (auto _ : state) g.DrawImage(&im.sprite, 100 + Jitter(i++), 100);
    benchmark::DoNotOptimize(im.dest.GetBits()[0]);
}

void OursColorized(benchmark::State& state) {
    OurImages im;
    Graphics g(&im.dest);
    g.SetColorizeImages(true);
    g.SetColor(Color(255, 160, 80, 200));
    int64_t i = 0;
    for (auto _ : state) g.DrawImage(&im.sprite, 100 + Jitter(i++), 100);
    benchmark::DoNotOptimize(im.dest.GetBits()[0]);
}

void OursStretch(benchmark::State& state, bool fast) {
    OurImages im;
    Graphics g(&im.dest);
    g.SetFastStretch(fast);
    int64_t i = 0;
    for (auto _ : state)
        g.DrawImageInRect(&im.sprite, Rect(100 + Jitter(i++), 100, 512, 384),
                          Rect(0, 0, kSpriteSize, kSpriteSize));
    benchmark::DoNotOptimize(im.dest.GetBits()[0]);
}

void OursRotated(benchmark::State& state) {
    OurImages im;
    Graphics g(&im.dest);
    const double angle = 30.0 * 3.14159265358979323846 / 180.0;
    int64_t i = 0;
    for (auto _ : state)
        g.DrawImageRotated(&im.sprite, float(200 + Jitter(i++)), 150.0f, angle, kSpriteSize / 2.0f,
                           kSpriteSize / 2.0f);
    benchmark::DoNotOptimize(im.dest.GetBits()[0]);
}

// --- SDL ---

void SdlBlit(benchmark::State& state, SDL_BlendMode mode, bool colorMod) {
    SdlImages im;
    if (!im.Ok()) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    SDL_SetSurfaceBlendMode(im.sprite.get(), mode);
    if (colorMod) {
        SDL_SetSurfaceColorMod(im.sprite.get(), 255, 160, 80);
        SDL_SetSurfaceAlphaMod(im.sprite.get(), 200);
    }
    int64_t i = 0;
    for (auto _ : state) {
        SDL_Rect at{100 + Jitter(i++), 100, kSpriteSize, kSpriteSize};
        SDL_BlitSurface(im.sprite.get(), nullptr, im.dest.get(), &at);
    }
    benchmark::DoNotOptimize(im.dest->pixels);
}

void SdlStretchNearest(benchmark::State& state) {
    SdlImages im;
    if (!im.Ok()) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    SDL_SetSurfaceBlendMode(im.sprite.get(), SDL_BLENDMODE_BLEND);
    int64_t i = 0;
    for (auto _ : state) {
        SDL_Rect at{100 + Jitter(i++), 100, 512, 384};
        SDL_BlitScaled(im.sprite.get(), nullptr, im.dest.get(), &at);
    }
    benchmark::DoNotOptimize(im.dest->pixels);
}

// SDL's only filtered software stretch copies without blending.
void SdlStretchLinear(benchmark::State& state) {
    SdlImages im;
    if (!im.Ok()) {
        state.SkipWithError("SDL surface creation failed");
        return;
    }
    int64_t i = 0;
    for (auto _ : state) {
        SDL_Rect at{100 + Jitter(i++), 100, 512, 384};
        SDL_SoftStretchLinear(im.sprite.get(), nullptr, im.dest.get(), &at);
    }
    benchmark::DoNotOptimize(im.dest->pixels);
}

struct Pair {
    std::string name;
    std::string sdlNote;
};

const Pair kPairs[] = {
    {"Blit/1_Alpha", "SDL_BlitSurface BLEND"},
    {"Blit/2_Additive", "SDL_BlitSurface ADD"},
    {"Blit/3_Colorized", "SDL_BlitSurface BLEND + colour/alpha mod"},
    {"Blit/4_StretchFast", "SDL_BlitScaled BLEND (nearest)"},
    {"Blit/5_StretchFiltered", "SDL_SoftStretchLinear (copy, no blending)"},
    {"Blit/6_Rotated30", "SDL_BlitSurface BLEND, unrotated (SDL has no rotation)"},
};


} // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    benchmark::RegisterBenchmark("Blit/1_Alpha/ours", OursAlpha);
    benchmark::RegisterBenchmark("Blit/1_Alpha/sdl", SdlBlit, SDL_BLENDMODE_BLEND, false);
    benchmark::RegisterBenchmark("Blit/2_Additive/ours", OursAdditive);
    benchmark::RegisterBenchmark("Blit/2_Additive/sdl", SdlBlit, SDL_BLENDMODE_ADD, false);
    benchmark::RegisterBenchmark("Blit/3_Colorized/ours", OursColorized);
    benchmark::RegisterBenchmark("Blit/3_Colorized/sdl", SdlBlit, SDL_BLENDMODE_BLEND, true);
    benchmark::RegisterBenchmark("Blit/4_StretchFast/ours", OursStretch, true);
    benchmark::RegisterBenchmark("Blit/4_StretchFast/sdl", SdlStretchNearest);
    benchmark::RegisterBenchmark("Blit/5_StretchFiltered/ours", OursStretch, false);
    benchmark::RegisterBenchmark("Blit/5_StretchFiltered/sdl", SdlStretchLinear);
    benchmark::RegisterBenchmark("Blit/6_Rotated30/ours", OursRotated);
    benchmark::RegisterBenchmark("Blit/6_Rotated30/sdl_same_size_unrotated", SdlBlit, SDL_BLENDMODE_BLEND,
                                 false);

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& times = reporter.mTimes;
    std::printf("\n%-24s %12s %12s %9s  %s\n", "pair", "ours (us)", "sdl (us)", "ours/sdl", "SDL side");
    for (const Pair& p : kPairs) {
        auto ours = times.find(p.name + "/ours");
        auto sdl = times.lower_bound(p.name + "/sdl");
        if (ours == times.end() || sdl == times.end() || sdl->first.rfind(p.name + "/sdl", 0) != 0)
            continue;
        // Times are in the benchmarks' unit (ns by default).
        std::printf("%-24s %12.1f %12.1f %9.2f  %s\n", p.name.c_str(), ours->second / 1000.0,
                    sdl->second / 1000.0, ours->second / sdl->second, p.sdlNote.c_str());
    }
    return 0;
}
