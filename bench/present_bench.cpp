// One frame through the display: the screen image into the draw surface and
// onto the primary (Redraw), for each screen depth, without and with the
// window's upload to SDL. Each figure is printed beside the 0.3 ms a Redraw of
// a full frame is held to.
#include <benchmark/benchmark.h>
#include <SDL.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "framework/graphics/memory_image.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "platform/window.h"

namespace {

using namespace Zephra;
using namespace platform;

constexpr double kRedrawLimitUs = 300.0;

struct Frame {
    ZephraAppBase app;
    std::unique_ptr<DDInterface> display;
    std::unique_ptr<Window> window;
    bool ok = false;

    Frame(PixelLayout desktop, bool withWindow) {
        DirectXConfig::Get().Reset();
        DirectXConfig::Get().mDesktopFormat = desktop;
        app.mDDrawModule = LoadModule("ddraw.dll");
        if (withWindow) {
            window = std::make_unique<Window>();
            if (!window->Open("bench", 800, 600, true)) return;
        }
        display = std::make_unique<DDInterface>(&app);
        if (display->Init(window.get(), true) != RESULT_OK) return;
        uint32_t* bits = display->GetScreenImage()->GetBits();
        for (int i = 0; i < 800 * 600; ++i) bits[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
        ok = true;
    }
};

void Run(benchmark::State& state, PixelLayout desktop, bool withWindow) {
    Frame frame(desktop, withWindow);
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

void Redraw32(benchmark::State& s) { Run(s, PixelLayout::XRGB8888, false); }
void Redraw565(benchmark::State& s) { Run(s, PixelLayout::RGB565, false); }
void Redraw555(benchmark::State& s) { Run(s, PixelLayout::RGB555, false); }
void Present32(benchmark::State& s) { Run(s, PixelLayout::XRGB8888, true); }
void Present565(benchmark::State& s) { Run(s, PixelLayout::RGB565, true); }

BENCHMARK(Redraw32)->Name("redraw/32")->Unit(benchmark::kMicrosecond);
BENCHMARK(Redraw565)->Name("redraw/565")->Unit(benchmark::kMicrosecond);
BENCHMARK(Redraw555)->Name("redraw/555")->Unit(benchmark::kMicrosecond);
BENCHMARK(Present32)->Name("redraw+present/32")->Unit(benchmark::kMicrosecond);
BENCHMARK(Present565)->Name("redraw+present/565")->Unit(benchmark::kMicrosecond);

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> nsPerIteration;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                nsPerIteration[run.benchmark_name()] = run.GetAdjustedRealTime() * 1000.0;
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-24s %12s %12s\n", "frame", "time (us)", "limit (us)");
    for (const auto& [name, ns] : reporter.nsPerIteration)
        std::printf("%-24s %12.1f %12.1f%s\n", name.c_str(), ns / 1000.0, kRedrawLimitUs,
                    name.rfind("redraw/", 0) == 0 ? "" : "  (upload and scaling by SDL beside it)");
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
