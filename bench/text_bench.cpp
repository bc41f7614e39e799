// A frame of a dialog showing a localised text: an 800 x 600 background and
// the text word-wrapped into a 360 x 240 box with the sample game's font,
// drawn again every frame as the text controls do. The normal text is as long
// as the longest of the sample's; beside it the longest a localisation file may
// hold, as words and as one word, each held to twice the normal frame. The
// layout alone (what the wrapping costs) is measured too.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "framework/resources/sys_font.h"

namespace {

using Zephra::Color;
using Zephra::Graphics;
using Zephra::MemoryImage;
using Zephra::Rect;

// The longest text of the sample's loc file has 267 characters; the longest
// a loc file may hold is 4,096.
constexpr size_t kNormalLength = 270;
constexpr size_t kLongestLength = 4096;
constexpr double kLimitFactor = 2.0;
const Rect kBox(220, 180, 360, 240);

std::u16string Words(size_t length) {
    const std::u16string words[] = {u"the", u"boss", u"walks", u"to", u"a", u"worker", u"with", u"an", u"order"};
    std::u16string text;
    for (size_t i = 0; text.size() < length; ++i) text += words[i % 9] + u' ';
    text.resize(length);
    return text;
}

const std::u16string& Text(int kind) {
    static const std::u16string texts[] = {Words(kNormalLength), Words(kLongestLength),
                                           std::u16string(kLongestLength, u'w')};
    return texts[kind];
}
const char* const kKindNames[] = {"normal text", "longest text", "longest word"};

Zephra::SysFont* DialogFont() {
    static Zephra::SysFont* font = [] {
        auto* f = new Zephra::SysFont;
        Zephra::SysFontDesc desc;
        desc.mSize = 14;
        std::string error;
        if (!f->Open(PEMBERLY_SOURCE_DIR "/data/fonts/DejaVuSans.ttf", desc, error)) {
            delete f;
            return static_cast<Zephra::SysFont*>(nullptr);
        }
        return f;
    }();
    return font;
}

void TextFrame(benchmark::State& state, int kind) {
    Zephra::SysFont* font = DialogFont();
    if (font == nullptr) {
        state.SkipWithError("the sample font does not open");
        return;
    }
    MemoryImage background(nullptr), screen(nullptr);
    background.Create(800, 600);
    uint32_t* bits = background.GetBits();
    for (int i = 0; i < 800 * 600; ++i) bits[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    background.BitsChanged();
    screen.Create(800, 600);
    Graphics g(&screen);
    g.SetFont(font);
    g.SetColor(Color(20, 20, 20));
    int height = 0;
    for (auto _ : state) {
        g.DrawImage(&background, 0, 0);
        g.SetClipRect(kBox);
        height = g.WriteWordWrapped(kBox, Text(kind));
        g.ClearClipRect();
        benchmark::DoNotOptimize(screen.GetBits());
    }
    if (height <= 0) state.SkipWithError("no text was laid out");
}

void Layout(benchmark::State& state, int kind) {
    Zephra::SysFont* font = DialogFont();
    if (font == nullptr) {
        state.SkipWithError("the sample font does not open");
        return;
    }
    MemoryImage screen(nullptr);
    Graphics g(&screen);
    g.SetFont(font);
    int lines = 0;
    for (auto _ : state) {
        g.GetWordWrappedHeight(kBox.mWidth, Text(kind), -1, &lines);
        benchmark::DoNotOptimize(lines);
    }
    if (lines <= 0) state.SkipWithError("no text was laid out");
}

void Register() {
    for (int kind = 0; kind < 3; ++kind) {
        benchmark::RegisterBenchmark((std::string("frame/") + kKindNames[kind]).c_str(), TextFrame, kind)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5);
        benchmark::RegisterBenchmark((std::string("layout/") + kKindNames[kind]).c_str(), Layout, kind)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5);
    }
}

// The median CPU time of the repetitions and their spread, by name.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) mFailed = true;
            if (run.run_type != Run::RT_Aggregate) continue;
            if (run.aggregate_name == "median") mMedian[run.run_name.function_name] = run.GetAdjustedCPUTime();
            if (run.aggregate_name == "stddev") mSpread[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> mMedian, mSpread;
    bool mFailed = false;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Register();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // A frame is held to twice the normal one; the layout, linear in the text,
    // shows its time per character.
    std::printf("\n%-24s %16s %12s\n", "median CPU time", "us (+- stddev)", "limit (us)");
    const auto normal = reporter.mMedian.find(std::string("frame/") + kKindNames[0]);
    for (const char* part : {"frame/", "layout/"}) {
        for (int kind = 0; kind < 3; ++kind) {
            const std::string name = std::string(part) + kKindNames[kind];
            const auto it = reporter.mMedian.find(name);
            if (it == reporter.mMedian.end()) continue;
            std::printf("%-24s %9.1f +- %4.1f", name.c_str(), it->second, reporter.mSpread[name]);
            if (part[0] == 'l')
                std::printf(" %12s  (%.1f ns a character)", "", 1000 * it->second / Text(kind).size());
            else if (kind != 0 && normal != reporter.mMedian.end())
                std::printf(" %12.1f  (%.2fx the normal text)", kLimitFactor * normal->second,
                            it->second / normal->second);
            std::printf("\n");
        }
    }
    return reporter.mFailed ? 1 : 0;
}
