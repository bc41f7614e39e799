// One frame through the display: the screen image into the draw surface and
// onto the primary (Redraw), for each screen depth, without and with the
// window's presenting (SDL's offscreen driver: the copy into the window's
// pixels, no X server), also into a window of another size, which scales the
// primary. Each figure is printed beside its limit and as a multiple of a
// plain copy of an 800 x 600 frame of 32-bit pixels (the memory speed).
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

constexpr double kRedrawLimitUs = 300.0;
constexpr double kPresentLimitUs = 200.0;   // redraw+present/32

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
        ok = true;
    }
};

void Run(benchmark::State& state, PixelLayout desktop, int windowWidth, int windowHeight) {
    Frame frame(desktop, windowWidth, windowHeight);
    if (!frame.ok) {
        state.SkipWithError("display did not start");
        return;
    }
    for (auto _ : state) {
        // Every frame the application drew something new.
        frame.display->GetScreenImage()->BitsChanged();
        benchmark::DoNotOptimize(frame.display->Redraw(nullptr));
    }
}

void Redraw32(benchmark::State& s) { Run(s, PixelLayout::XRGB8888, 0, 0); }
void Redraw565(benchmark::State& s) { Run(s, PixelLayout::RGB565, 0, 0); }
void Redraw555(benchmark::State& s) { Run(s, PixelLayout::RGB555, 0, 0); }
void Present32(benchmark::State& s) { Run(s, PixelLayout::XRGB8888, 800, 600); }
void Present565(benchmark::State& s) { Run(s, PixelLayout::RGB565, 800, 600); }
void Scaled32(benchmark::State& s) { Run(s, PixelLayout::XRGB8888, 1280, 800); }
void Scaled565(benchmark::State& s) { Run(s, PixelLayout::RGB565, 1280, 800); }

BENCHMARK(Redraw32)->Name("redraw/32")->Unit(benchmark::kMicrosecond);
BENCHMARK(Redraw565)->Name("redraw/565")->Unit(benchmark::kMicrosecond);
BENCHMARK(Redraw555)->Name("redraw/555")->Unit(benchmark::kMicrosecond);
BENCHMARK(Present32)->Name("redraw+present/32")->Unit(benchmark::kMicrosecond);
BENCHMARK(Present565)->Name("redraw+present/565")->Unit(benchmark::kMicrosecond);
BENCHMARK(Scaled32)->Name("redraw+present/32 to 1280x800")->Unit(benchmark::kMicrosecond);
BENCHMARK(Scaled565)->Name("redraw+present/565 to 1280x800")->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameCopy)->Name("copy 800x600/32")->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto copy = reporter.mTimes.find("copy 800x600/32");
    const double copyUs = copy != reporter.mTimes.end() ? copy->second : 0.0;
    std::printf("\n%-32s %10s %10s %12s\n", "frame", "time (us)", "limit (us)", "x frame copy");
    for (const auto& [name, us] : reporter.mTimes) {
        if (name == "copy 800x600/32") continue;
        const bool present = name.rfind("redraw+present/32", 0) == 0 && name.find(" to ") == std::string::npos;
        const bool redraw = name.rfind("redraw/", 0) == 0;
        char limit[32] = "";
        if (present || redraw) std::snprintf(limit, sizeof limit, "%.1f", present ? kPresentLimitUs : kRedrawLimitUs);
        std::printf("%-32s %10.1f %10s %12.2f\n", name.c_str(), us, limit, copyUs > 0 ? us / copyUs : 0.0);
    }
    if (copyUs > 0) std::printf("%-32s %10.1f %10s %12.2f\n", "copy 800x600/32", copyUs, "", 1.0);
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
