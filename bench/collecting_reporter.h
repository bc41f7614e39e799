#pragma once
// The benchmark programs' one reporter and summary. Every benchmark runs five
// times unless --benchmark_repetitions says otherwise; a figure is the median
// CPU time per iteration of those runs, printed with their range (min-max).
// Each benchmark reports the work it did in the counter "work" (pixels that
// reached their target, bytes converted); a summary row whose benchmark, or
// peer, did no work or failed makes the program fail instead of printing a
// figure. A row over its limit prints FAIL; with --limits_fail the program
// then exits with status 2 (the test builds leave it out: a Debug build under
// the sanitizers misses every limit).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchsummary {

// One benchmark's runs: us per iteration, one entry per repetition.
struct Figure {
    std::vector<double> cpu, wall;
    bool noWork = false;   // a run reported no work, or none at all
    std::string error;     // a run failed

    static double Median(std::vector<double> v) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    const std::vector<double>& Times(bool wallTime) const { return wallTime ? wall : cpu; }
    double Median(bool wallTime) const { return Median(Times(wallTime)); }
    double Min(bool wallTime) const { return Times(wallTime).empty() ? 0 : *std::min_element(Times(wallTime).begin(), Times(wallTime).end()); }
    double Max(bool wallTime) const { return Times(wallTime).empty() ? 0 : *std::max_element(Times(wallTime).begin(), Times(wallTime).end()); }
    bool Failed() const { return noWork || !error.empty(); }
};
using Figures = std::map<std::string, Figure>;

// The work counter a benchmark sets once its loop is done.
inline void ReportWork(benchmark::State& state, double work) { state.counters["work"] = work; }

// Pixels of two buffers that differ: what a drawing changed.
inline double ChangedPixels(const void* before, const void* after, size_t count, size_t bytesPerPixel) {
    const auto* a = static_cast<const uint8_t*>(before);
    const auto* b = static_cast<const uint8_t*>(after);
    double n = 0;
    for (size_t i = 0; i < count * bytesPerPixel; i += bytesPerPixel) n += std::memcmp(a + i, b + i, bytesPerPixel) != 0;
    return n;
}

// Console output as usual, and every run's times and work kept by name.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            // The name the benchmark was given, without the iterations a
            // fixed workload adds to it.
            const std::string name = run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
            Figure& f = mFigures[name];
            if (run.error_occurred) {
                f.error = run.error_message.empty() ? "failed" : run.error_message;
                continue;
            }
            const double toUs = 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            f.cpu.push_back(run.GetAdjustedCPUTime() * toUs);
            f.wall.push_back(run.GetAdjustedRealTime() * toUs);
            const auto work = run.counters.find("work");
            if (work == run.counters.end() || !(work->second.value > 0)) f.noWork = true;
            mTimes[name] = f.Median(false) / toUs;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    Figures mFigures;
    // The median CPU time in each benchmark's own unit, for the programs that
    // read the figures by name.
    std::map<std::string, double> mTimes;
};

// A summary row: a benchmark beside its peer, or its limit, or both.
struct Row {
    std::string name;
    std::string peer;          // the peer's benchmark; empty: a limit only
    std::string note;          // what the peer does (or the limit means)
    double peerScale = 1;      // the peer's figure times this (the same work at its speed)
    double limitUs = 0;        // the median at most this; 0: none
    double limitRatio = 0;     // the median over the peer's at most this; 0: none
    bool wall = false;         // wall time (start-up, which waits for files), not CPU
};

enum Outcome { kOk = 0, kNoWork = 1, kOverLimit = 2 };

class Summary {
public:
    explicit Summary(const Figures& figures, FILE* out = stdout) : mFigures(figures), mOut(out) {}

    // Prints a table of rows in us (or ms: divisor 1000); rows whose benchmark
    // did not run (a filter) are left out. Returns the worst outcome so far.
    int Table(const char* title, const std::vector<Row>& rows, double divisor = 1, const char* unit = "us") {
        const bool wall = !rows.empty() && rows.front().wall;
        std::fprintf(mOut, "\n%s: median %s of %s time per run (min-max over the repetitions)\n", title, unit,
                     wall ? "wall" : "CPU");
        std::fprintf(mOut, "%-34s %9s %-19s %-26s %9s %-19s %8s %-12s %s\n", "row", "median", "(range)", "peer",
                     "median", "(range)", "ratio", "limit", "verdict");
        for (const Row& row : rows) {
            const auto it = mFigures.find(row.name);
            if (it == mFigures.end()) continue;
            const Figure* peer = nullptr;
            if (!row.peer.empty()) {
                const auto p = mFigures.find(row.peer);
                if (p != mFigures.end()) peer = &p->second;
            }
            PrintRow(row, it->second, peer, divisor);
        }
        return mWorst;
    }
    int Worst() const { return mWorst; }
    static std::string Why(const Figure& f) {
        return f.error.empty() ? "NO WORK: the benchmark reported no work done" : "ERROR: " + f.error;
    }

private:
    void PrintRow(const Row& row, const Figure& f, const Figure* peer, double div) {
        const std::string name = row.wall ? row.name + " (wall)" : row.name;
        std::string failure;
        if (f.Failed())
            failure = Why(f);
        else if (!row.peer.empty() && !peer)
            failure = "NO PEER: " + row.peer + " did not run";
        else if (peer && peer->Failed())
            failure = "peer " + row.peer + ": " + Why(*peer);
        if (!failure.empty()) {
            std::fprintf(mOut, "%-34s %s\n", name.c_str(), failure.c_str());
            mWorst |= kNoWork;
            return;
        }
        const double median = f.Median(row.wall);
        char fig[24], range[48], peerFig[24] = "", peerRange[48] = "", ratio[16] = "", limit[24] = "";
        std::snprintf(fig, sizeof fig, "%s", Num(median / div).c_str());
        std::snprintf(range, sizeof range, "(%s-%s)", Num(f.Min(row.wall) / div).c_str(), Num(f.Max(row.wall) / div).c_str());
        double peerMedian = 0;
        if (peer) {
            peerMedian = peer->Median(row.wall) * row.peerScale;
            std::snprintf(peerFig, sizeof peerFig, "%s", Num(peerMedian / div).c_str());
            std::snprintf(peerRange, sizeof peerRange, "(%s-%s)", Num(peer->Min(row.wall) * row.peerScale / div).c_str(),
                          Num(peer->Max(row.wall) * row.peerScale / div).c_str());
            std::snprintf(ratio, sizeof ratio, "%.2fx", median / peerMedian);
        }
        bool over = false;
        if (row.limitRatio > 0 && peer) {
            std::snprintf(limit, sizeof limit, "%.2fx", row.limitRatio);
            over = median > row.limitRatio * peerMedian;
        } else if (row.limitUs > 0) {
            std::snprintf(limit, sizeof limit, "%.1f %s", row.limitUs / div, UnitOf(div));
            over = median > row.limitUs;
        }
        if (over) mWorst |= kOverLimit;
        const std::string peerName = row.peer.empty() ? "(none)" : row.peer;
        std::fprintf(mOut, "%-34s %9s %-19s %-26s %9s %-19s %8s %-12s %s%s%s\n", name.c_str(), fig, range,
                     peerName.c_str(), peerFig, peerRange, ratio, limit, !limit[0] ? "" : over ? "FAIL" : "ok",
                     row.note.empty() ? "" : "  ", row.note.c_str());
    }
    // Three figures or more: small times keep their decimals.
    static std::string Num(double v) {
        char b[24];
        std::snprintf(b, sizeof b, v >= 100 || v == 0 ? "%.1f" : v >= 10 ? "%.2f" : v >= 1 ? "%.3f" : "%.4f", v);
        return b;
    }
    static const char* UnitOf(double div) { return div == 1000 ? "ms" : "us"; }

    const Figures& mFigures;
    FILE* mOut;
    int mWorst = kOk;
};

// A benchmark program's main: our flags taken out, five repetitions unless
// asked otherwise, the benchmarks run (inside around, for a world they need),
// then the summary tables; the exit status.
inline int RunMain(int argc, char** argv, const std::function<void(const Figures&, Summary&)>& summarize,
                   const std::function<void(const std::function<void()>&)>& around = nullptr) {
    std::vector<char*> args;
    bool limitsFail = false, repetitions = false;
    static char kRepetitions[] = "--benchmark_repetitions=5";
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--limits_fail") == 0) {
            limitsFail = true;
            continue;
        }
        repetitions |= std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
        args.push_back(argv[i]);
    }
    if (!repetitions) args.push_back(kRepetitions);
    int n = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
    CollectingReporter reporter;
    const auto run = [&reporter] { benchmark::RunSpecifiedBenchmarks(&reporter); };
    if (around)
        around(run);
    else
        run();
    benchmark::Shutdown();
    Summary summary(reporter.mFigures);
    summarize(reporter.mFigures, summary);
    // A benchmark outside every summary that failed or did no work fails too.
    for (const auto& [name, f] : reporter.mFigures)
        if (f.Failed()) {
            std::printf("%s: %s\n", name.c_str(), Summary::Why(f).c_str());
            return 1;
        }
    if (summary.Worst() & kNoWork) return 1;
    return limitsFail && (summary.Worst() & kOverLimit) ? 2 : 0;
}

} // namespace benchsummary

// The programs not yet on the summary read mTimes by name.
using benchsummary::CollectingReporter;
