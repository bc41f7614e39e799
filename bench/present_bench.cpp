// One frame, the screen filled and then presented through the display into a
// window (Redraw: the draw surface, or the primary, into the window's pixels
// on SDL's offscreen driver, no X server) for each screen depth, also into a
// window of another size, which scales the picture. Without a window the display moves nothing (nobody
// would see it), so every row presents, and counts the window pixels its
// frames reached. Each figure is printed beside its limit and a plain copy of
// an 800 x 600 frame of 32-bit pixels (the memory speed).
#include <benchmark/benchmark.h>
#include <SDL.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "bench/collecting_reporter.h"
#include "bench/frame_copy.h"
#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "framework/graphics/memory_image.h"
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "platform/window.h"

namespace {

using namespace Zephra;
using namespace platform;

constexpr double kPresentLimitUs = 200.0;      // redraw+present/32
constexpr double kPresent565LimitRatio = 3.0;  // redraw+present/565, frame copies

struct Frame {
    ZephraAppBase app;
    std::unique_ptr<DDInterface> display;
    std::unique_ptr<Window> window;
    bool ok = false;

    // windowWidth 0: no window; otherwise the window is sized so after the
    // display started at 800 x 600, so that it scales the primary.
    Frame(PixelLayout desktop, int windowWidth, int windowHeight) {
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().mKind = Device3DKind::None;   // the DirectDraw road's presentation
        DirectXConfig::Get().mDesktopFormat = desktop;
        app.mDDrawModule = LoadModule("ddraw.dll");
        if (windowWidth > 0) {
            window = std::make_unique<Window>();
            if (!window->Open("bench", 800, 600, true)) return;
        }
        display = std::make_unique<DDInterface>(&app);
        if (display->Init(window.get(), true) != RESULT_OK) return;
        if (window) window->SetClientSize(windowWidth, windowHeight);
        uint32_t* bits = display->GetScreenImage()->GetBits();
        for (int i = 0; i < 800 * 600; ++i) bits[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
        display->GetScreenImage()->BitsChanged();   // into the draw surface
        ok = true;
    }
};

void Run(benchmark::State& state, PixelLayout desktop, int windowWidth, int windowHeight) {
    Frame frame(desktop, windowWidth, windowHeight);
    if (!frame.ok) {
        state.SkipWithError("display did not start");
        return;
    }
    // The first frame makes the window's pixels at their size; then they are
    // marked, so that the frames measured show they arrived.
    frame.display->Redraw(nullptr);
    SDL_Surface* window = NewestWindowSurface();
    if (!MarkWindow(window)) {
        state.SkipWithError("the window has no pixels to present into");
        return;
    }
    // A new frame each time, drawn as a game's backdrop is (the whole screen
    // filled through the screen image), then presented: where the window
    // lends the display its pixels, the fill lands there and the present
    // moves nothing more.
    MemoryImage* image = frame.display->GetScreenImage();
    int n = 0;
    for (auto _ : state) {
        image->FillRect(Rect(0, 0, 800, 600), Color(n & 0xFF, 96, 160), DRAWMODE_NORMAL);
        ++n;
        benchmark::DoNotOptimize(frame.display->Redraw(nullptr));
    }
    benchsummary::ReportWork(state, PixelsArrived(window));
}

void Present32(benchmark::State& s) { Run(s, PixelLayout::XRGB8888, 800, 600); }
void Present565(benchmark::State& s) { Run(s, PixelLayout::RGB565, 800, 600); }
void Present555(benchmark::State& s) { Run(s, PixelLayout::RGB555, 800, 600); }
void Scaled32(benchmark::State& s) { Run(s, PixelLayout::XRGB8888, 1280, 800); }
void Scaled565(benchmark::State& s) { Run(s, PixelLayout::RGB565, 1280, 800); }

BENCHMARK(Present32)->Name("redraw+present/32")->Unit(benchmark::kMicrosecond);
BENCHMARK(Present565)->Name("redraw+present/565")->Unit(benchmark::kMicrosecond);
BENCHMARK(Present555)->Name("redraw+present/555")->Unit(benchmark::kMicrosecond);
BENCHMARK(Scaled32)->Name("redraw+present/32 to 1280x800")->Unit(benchmark::kMicrosecond);
BENCHMARK(Scaled565)->Name("redraw+present/565 to 1280x800")->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameCopy)->Name("copy 800x600/32")->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    const int status = benchsummary::RunMain(argc, argv, [](const benchsummary::Figures&, benchsummary::Summary& s) {
        const std::string copy = "copy 800x600/32";
        s.Table("a frame presented", {
            {"redraw+present/32", copy, "filled in the window's own pixels", 1, kPresentLimitUs, 0},
            {"redraw+present/565", copy, "filled, widened into the 32-bit window", 1, 0, kPresent565LimitRatio},
            {"redraw+present/555", copy, "filled, widened into the 32-bit window"},
            {"redraw+present/32 to 1280x800", copy, "filled, scaled into a larger window"},
            {"redraw+present/565 to 1280x800", copy, "filled, widened and scaled"},
        });
    });
    SDL_Quit();
    return status;
}
