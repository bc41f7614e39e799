// A whole frame of the busy sample office (the survival office played for a
// while: clients, workers at work, the boss carrying, the panel, particles
// and pop-ups) on each road, two ways:
// - frozen: one state drawn again and again without a window (the frame stays
//   in the draw surface, as nothing shows a primary; on the memory road
//   nothing is presented);
// - presented: what the player sees: in a window (SDL's offscreen driver),
//   the level played one update between frames (the update not timed), each
//   frame drawn and presented into the window's pixels; the same frames on
//   every road.
// Printed beside the 1 ms the fastest road is held to, 1.3x the fastest for
// the 3D road and twice the fastest for the others, and the presented 32-bit
// frame beside its memory limit: the bytes the frame moves at the speed of a
// plain 800 x 600 frame copy.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/frame_copy.h"
#include "bench/sample_game.h"
#include "framework/display/dd_interface.h"
#include "framework/graphics/memory_image.h"

namespace {

using namespace benchgame;
using Zephra::Color;
using Zephra::Image;
using Zephra::Matrix3x3;
using Zephra::Rect;
using Zephra::RectD;

constexpr double kFastestLimitUs = 1000.0;
constexpr double kMemoryLimitFactor = 3.0;
constexpr double kDefaultRoadFactor = 1.3;
GameWorld* gWorld = nullptr;
double gFrameBytes = 0;   // what the 32-bit frame moves, counted once

// Counts the bytes a frame's drawing moves on 32-bit pixels instead of
// drawing: every pixel a call covers is written, read too when the call
// blends, and a picture's pixels are read.
class TrafficImage : public Zephra::MemoryImage {
public:
    TrafficImage() : MemoryImage(nullptr) {
        mWidth = 800;
        mHeight = 600;
    }
    double bytes = 0;

    void FillRect(const Rect& r, const Color& c, int mode) override { Cover(r, nullptr, Blends(nullptr, c, mode)); }
    void ClearRect(const Rect& r) override { Cover(r, nullptr, false); }
    void DrawRect(const Rect& r, const Color& c, int mode) override {
        Cover(Rect(r.mX, r.mY, 2 * (r.mWidth + r.mHeight), 1), nullptr, Blends(nullptr, c, mode));
    }
    void DrawLine(double x1, double y1, double x2, double y2, const Color& c, int mode) override {
        Line(x1, y1, x2, y2, c, mode);
    }
    void DrawLineAA(double x1, double y1, double x2, double y2, const Color& c, int mode) override {
        Line(x1, y1, x2, y2, c, mode);
    }
    bool FillPolygon(const Zephra::Point* v, int count, const Rect& clip, const Color& c, int mode) override {
        if (count < 3) return false;
        int x0 = v[0].mX, y0 = v[0].mY, x1 = x0, y1 = y0;
        for (int i = 1; i < count; ++i) {
            x0 = std::min(x0, v[i].mX), x1 = std::max(x1, v[i].mX);
            y0 = std::min(y0, v[i].mY), y1 = std::max(y1, v[i].mY);
        }
        Cover(Rect(x0, y0, x1 - x0, y1 - y0).Intersection(clip), nullptr, Blends(nullptr, c, mode));
        return true;
    }
    void FillSpans(const Zephra::Span* spans, int count, const Color& c, int mode) override {
        for (int i = 0; i < count; ++i) Cover(Rect(spans[i].mX, spans[i].mY, spans[i].mWidth, 1), nullptr, Blends(nullptr, c, mode));
    }
    void FillSpansCoverage(const Zephra::Span* spans, int count, const Color& c, int mode, const uint8_t*, int, int,
                           int, int) override {
        for (int i = 0; i < count; ++i) Cover(Rect(spans[i].mX, spans[i].mY, spans[i].mWidth, 1), nullptr, true);
        (void)c;
        (void)mode;
    }
    void Blt(Image* src, int x, int y, const Rect& s, const Color& c, int mode) override {
        Cover(Rect(x, y, s.mWidth, s.mHeight), src, Blends(src, c, mode));
    }
    void BltF(Image* src, float x, float y, const Rect& s, const Rect& clip, const Color& c, int mode) override {
        Cover(Rect(int(x), int(y), s.mWidth, s.mHeight).Intersection(clip), src, Blends(src, c, mode));
    }
    void BltMirror(Image* src, int x, int y, const Rect& s, const Color& c, int mode) override { Blt(src, x, y, s, c, mode); }
    void StretchBlt(Image* src, const Rect& d, const Rect&, const Rect& clip, const Color& c, int mode, bool) override {
        Cover(d.Intersection(clip), src, Blends(src, c, mode));
    }
    void StretchBltMirror(Image* src, const Rect& d, const Rect& s, const Rect& clip, const Color& c, int mode,
                          bool fast) override {
        StretchBlt(src, d, s, clip, c, mode, fast);
    }
    void BltRotated(Image* src, float x, float y, const Rect& s, const Rect& clip, const Color& c, int mode, double angle,
                    float cx, float cy) override {
        RectD area;
        if (Zephra::BltRotatedClipHelper(&x, &y, s, clip, angle, area, cx, cy))
            Cover(Rect(int(area.mX), int(area.mY), int(area.mWidth), int(area.mHeight)), src, true);
        (void)c;
        (void)mode;
    }
    void BltMatrix(Image* src, float x, float y, const Matrix3x3& m, const Rect& clip, const Color& c, int mode,
                   const Rect& s, bool) override {
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (float u : {0.0f, float(s.mWidth)})
            for (float v : {0.0f, float(s.mHeight)}) {
                const Zephra::FPoint p = m.TransformPoint(Zephra::FPoint{u, v});
                x0 = std::min(x0, p.mX + x), x1 = std::max(x1, p.mX + x);
                y0 = std::min(y0, p.mY + y), y1 = std::max(y1, p.mY + y);
            }
        Cover(Rect(int(x0), int(y0), int(x1 - x0), int(y1 - y0)).Intersection(clip), src, true);
        (void)c;
        (void)mode;
    }
    void BltTrianglesTex(Image* texture, const Zephra::TriVertex (*tris)[3], int count, const Rect& clip, const Color&,
                         int, float tx, float ty, bool) override {
        for (int i = 0; i < count; ++i) {
            float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
            for (const Zephra::TriVertex& v : tris[i])
                x0 = std::min(x0, v.x), x1 = std::max(x1, v.x), y0 = std::min(y0, v.y), y1 = std::max(y1, v.y);
            // A triangle covers half its box.
            Cover(Rect(int(x0 + tx), int(y0 + ty), int(x1 - x0), int((y1 - y0) / 2)).Intersection(clip), texture, true);
        }
    }

private:
    static bool Blends(Image* src, const Color& c, int mode) {
        auto* image = dynamic_cast<Zephra::MemoryImage*>(src);
        return mode != Zephra::DRAWMODE_NORMAL || c.mAlpha != 255 || (image && (image->mHasAlpha || image->mHasTrans)) ||
               (src && !(c == Color::White));
    }
    void Cover(const Rect& r, Image* src, bool blend) {
        const Rect on = r.Intersection(Rect(0, 0, mWidth, mHeight));
        const double pixels = on.IsEmpty() ? 0.0 : double(on.mWidth) * double(on.mHeight);
        bytes += pixels * 4.0 * ((blend ? 2 : 1) + (src ? 1 : 0));
    }
    void Line(double x1, double y1, double x2, double y2, const Color& c, int mode) {
        const int n = int(std::max(std::fabs(x2 - x1), std::fabs(y2 - y1))) + 1;
        bytes += n * 4.0 * (Blends(nullptr, c, mode) ? 2 : 1);
    }
};

// The frame copy of presenting a 32-bit frame in a window, where it is not
// drawn in the window's own pixels: the draw surface into them.
constexpr double kPresentBytes = 2 * kFrameCopyBytes;

// The pixels of the drawn frame that differ from its first: above 0 when a
// picture (not the flat mark the frames were drawn over) is there. The frame
// is in the display's draw surface where there is a display, in the screen
// image's own pixels on the memory road.
double FrameDrawn(BenchApp& app) {
    const auto count = [](const uint8_t* bits, int pitch, int width, int height, int bytes) {
        double n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += std::memcmp(bits + y * pitch + x * bytes, bits, bytes) != 0;
        return n;
    };
    if (auto* display = dynamic_cast<Zephra::DDInterface*>(app.mDisplay.get())) {
        platform::DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        if (!display->mDrawSurface || platform::FAILED(display->mDrawSurface->Lock(nullptr, &d, platform::DDLOCK_WAIT |
                                                                              platform::DDLOCK_READONLY, nullptr)))
            return 0;
        const double n = count(static_cast<const uint8_t*>(d.lpSurface), int(d.lPitch), int(d.dwWidth),
                               int(d.dwHeight), int(d.ddpfPixelFormat.dwRGBBitCount / 8));
        display->mDrawSurface->Unlock(nullptr);
        return n;
    }
    Zephra::MemoryImage* screen = app.mWidgetManager->GetScreenImage();
    const uint32_t* bits = screen->GetBits();
    return bits ? count(reinterpret_cast<const uint8_t*>(bits), screen->mWidth * 4, screen->mWidth, screen->mHeight, 4)
                : 0;
}

// The frames a presented road draws: every road plays the same 3 s of the
// level, one update between frames, so that none plays further into a
// busier office than another.
constexpr int kPresentedFrames = 300;

void Frame(benchmark::State& state, Road road, bool presented) {
    std::string error;
    auto app = StartGame(*gWorld, road, presented, error);
    if (!app || !MakeBusy(*app, *gWorld, 20.0f, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    testsupport::Player player(app->GetLevelScreen());
    Zephra::MemoryImage* screen = app->mWidgetManager->GetScreenImage();
    if (presented && road == Road::DirectDraw32) {
        TrafficImage traffic;
        app->mWidgetManager->SetScreenImage(&traffic);
        app->mWidgetManager->DrawScreen();
        app->mWidgetManager->SetScreenImage(screen);
        gFrameBytes = traffic.bytes;
    }
    // The frames measured leave their pixels over a mark: in the window, or
    // in the screen image where nothing presents.
    SDL_Surface* window = nullptr;
    if (presented) {
        app->DrawFrame();
        window = NewestWindowSurface();
        // The present's copy counts where the frame is not drawn in the window's own pixels.
        auto* display = dynamic_cast<Zephra::DDInterface*>(app->mDisplay.get());
        platform::SurfaceMemory drawn;
        if (road == Road::DirectDraw32 &&
            !(display && platform::GetSurfaceMemory(display->ScreenSurface(), drawn) && drawn.lent))
            gFrameBytes += kPresentBytes;
        if (!MarkWindow(window)) {
            state.SkipWithError("the window has no pixels to present into");
            return;
        }
    } else {
        screen->FillRect(Rect(0, 0, screen->mWidth, screen->mHeight),
                         Color(kWindowMark >> 16 & 0xFF, kWindowMark >> 8 & 0xFF, kWindowMark & 0xFF),
                         Zephra::DRAWMODE_NORMAL);
    }
    for (auto _ : state) {
        if (presented) {
            state.PauseTiming();
            player.Act();
            gWorld->Step(*app);
            state.ResumeTiming();
        }
        // Every widget drawn again, as when everything moves.
        app->mWidgetManager->MarkDirtyFull();
        app->DrawFrame();
    }
    double arrived = 0;
    if (presented) {
        arrived = PixelsArrived(window);
    } else {
        arrived = FrameDrawn(*app);
    }
    benchsummary::ReportWork(state, arrived);
    state.counters["objects"] = static_cast<double>(app->GetLevelScreen()->GetOffice()->ObjectCount());
}

#define FRAME(road, name)                                                                                   \
    BENCHMARK_CAPTURE(Frame, road, Road::name, false)->Name("frame/" #road)->Unit(benchmark::kMicrosecond); \
    BENCHMARK_CAPTURE(Frame, road##Shown, Road::name, true)                                                 \
        ->Name("presented/" #road)                                                                          \
        ->Iterations(kPresentedFrames)                                                                      \
        ->Unit(benchmark::kMicrosecond)
FRAME(memory, Memory);
FRAME(ddraw565, DirectDraw565);
FRAME(ddraw32, DirectDraw32);
FRAME(d3d, Direct3D);
BENCHMARK(FrameCopy)->Name("copy 800x600/32")->Unit(benchmark::kMicrosecond);

const char* const kRoads[] = {"memory", "ddraw565", "ddraw32", "d3d"};

// One kind of frame on every road: the fastest beside the frame copy and its
// 1 ms, the others beside the fastest (the 3D road, the default, held closer).
std::vector<benchsummary::Row> RoadRows(const benchsummary::Figures& figures, const std::string& kind) {
    std::string fastest;
    for (const char* road : kRoads) {
        const auto it = figures.find(kind + "/" + road);
        if (it == figures.end() || it->second.Failed()) continue;
        if (fastest.empty() || it->second.Median(false) < figures.at(fastest).Median(false)) fastest = it->first;
    }
    std::vector<benchsummary::Row> rows;
    for (const char* road : kRoads) {
        const std::string name = kind + "/" + road;
        if (name == fastest)
            rows.push_back({name, "copy 800x600/32", "the fastest road: 1 ms", 1, kFastestLimitUs, 0});
        else if (std::string(road) == "d3d")
            rows.push_back({name, fastest, "the default road: 1.3x the fastest", 1, 0, kDefaultRoadFactor});
        else
            rows.push_back({name, fastest, "2x the fastest", 1, 0, 2.0});
    }
    return rows;
}

void Summarize(const benchsummary::Figures& figures, benchsummary::Summary& s) {
    s.Table("busy frame, one state drawn again, no window", RoadRows(figures, "frame"));
    s.Table("busy frame presented, the same 300 frames of play on every road", RoadRows(figures, "presented"));
    if (gFrameBytes <= 0) return;
    // A copy of N bytes reads N and writes N.
    char note[160];
    std::snprintf(note, sizeof note,
                  "its memory limit: %.1f MB moved (the drawing as its calls cover, and any copy to present) at "
                  "the copy's speed",
                  gFrameBytes / 1e6);
    s.Table("the presented 32-bit frame beside its memory limit",
            {{"presented/ddraw32", "copy 800x600/32", note, gFrameBytes / (2 * kFrameCopyBytes), 0, kMemoryLimitFactor}});
}

} // namespace

int main(int argc, char** argv) { return RunGameBenchmarks(argc, argv, gWorld, Summarize); }
