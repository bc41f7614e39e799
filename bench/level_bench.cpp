// The level's own work on the busy sample office: one update (every object,
// person, client and worker, spawning and the bonus chain: the level's Update
// and motion step) beside its 50 us limit, and loading a career day and a
// survival level beside parsing their files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <iterator>
#include <pugixml.hpp>

#include "bench/sample_game.h"

namespace {

using namespace benchgame;

constexpr double kUpdateLimitUs = 50.0;
GameWorld* gWorld = nullptr;

void LevelUpdate(benchmark::State& state) {
    std::string error;
    auto app = StartGame(*gWorld, Road::Memory, false, error);
    if (!app || !MakeBusy(*app, *gWorld, 20.0f, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    LevelScreen* level = app->GetLevelScreen();
    testsupport::Player player(level);
    for (auto _ : state) {
        state.PauseTiming();
        player.Act();
        state.ResumeTiming();
        level->Update();
        level->UpdateMotion(1.0f);
    }
    // Left to run for minutes the full office outgrows the player and the
    // level ends, after which an update does next to nothing.
    if (level->IsLevelStopped()) state.SkipWithError("the level ended while it was measured");
    benchsummary::ReportWork(state, static_cast<double>(level->GetOffice()->ObjectCount()));
}

void LoadLevel(benchmark::State& state, bool survival, int number) {
    std::string error;
    auto app = StartGame(*gWorld, Road::Memory, false, error);
    if (!app) {
        state.SkipWithError(error.c_str());
        return;
    }
    LevelScreen* level = app->GetLevelScreen();
    level->SetSurvival(survival);
    for (auto _ : state) {
        if (!level->LoadLevel(number)) state.SkipWithError("the level did not load");
    }
    benchsummary::ReportWork(state, static_cast<double>(level->GetOffice()->ObjectCount()));
}

// The level's file read and parsed by pugixml: the part of loading a
// library does, beside the whole.
void ParseLevel(benchmark::State& state, const char* file) {
    const std::string path = gWorld->GameFile(file);
    size_t nodes = 0;
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_file(path.c_str())) {
            state.SkipWithError(("cannot read " + path).c_str());
            return;
        }
        nodes = std::distance(doc.document_element().begin(), doc.document_element().end());
    }
    benchsummary::ReportWork(state, double(nodes));
}

// 30 s of play after the first 20: the office stays full and in play.
BENCHMARK(LevelUpdate)->Name("level/update")->Iterations(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LoadLevel, career, false, 2)->Name("level/load career day 2")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadLevel, survival, true, 1)->Name("level/load survival 1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParseLevel, career, "cfg/l2.xml")->Name("level/parse career day 2")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParseLevel, survival, "cfg/endless1.xml")
    ->Name("level/parse survival 1")
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunGameBenchmarks(argc, argv, gWorld, [](const benchsummary::Figures&, benchsummary::Summary& s) {
        s.Table("the level's update", {{"level/update", "", "the busy office, its objects counted", 1, kUpdateLimitUs}});
        s.Table("loading a level", {{"level/load career day 2", "level/parse career day 2", "its file parsed by pugixml"},
                                    {"level/load survival 1", "level/parse survival 1", "its file parsed by pugixml"}},
                1000, "ms");
    });
}
