#include "bench/collecting_reporter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

using benchsummary::Figure;
using benchsummary::Figures;
using benchsummary::Row;
using benchsummary::Summary;

// What a table prints for the rows, and the worst outcome it gives.
struct Printed {
    std::string text;
    int outcome;
};

Printed Print(const Figures& figures, const std::vector<Row>& rows) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    Summary summary(figures, out);
    const int outcome = summary.Table("t", rows);
    std::fclose(out);
    Printed p{std::string(buffer, size), outcome};
    std::free(buffer);
    return p;
}

Figure Ran(std::vector<double> cpu) {
    Figure f;
    f.cpu = cpu;
    f.wall = cpu;
    return f;
}

TEST(BenchSummary, PrintsTheMedianAndRangeAndFailsARowWithoutWorkOrOverItsLimit) {
    Figure idle = Ran({10, 10, 10});
    idle.noWork = true;
    Figure broken;
    broken.error = "display did not start";
    const Figures figures = {
        {"ours", Ran({50, 10, 30, 20, 40})},   // median 30, range 10-50
        {"even", Ran({4, 1, 3, 2})},           // median 2.5
        {"peer", Ran({20, 20, 20})},
        {"idle", idle},
        {"broken", broken},
    };
    struct Case {
        const char* what;
        Row row;
        int outcome;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"median and range beside the peer", {"ours", "peer"}, benchsummary::kOk, {"30.00 (10.00-50.00)", "20.00", "1.50x"}},
        {"an even count's median", {"even", "peer"}, benchsummary::kOk, {"2.500 (1.000-4.000)"}},
        {"the peer scaled to the same work", {"ours", "peer", "", 3.0}, benchsummary::kOk, {"60.00", "0.50x"}},
        {"under a limit in us", {"ours", "", "", 1, 30.0}, benchsummary::kOk, {"30.0 us", "ok", "(none)"}},
        {"over a limit in us", {"ours", "", "", 1, 29.0}, benchsummary::kOverLimit, {"FAIL"}},
        {"under a ratio to the peer", {"ours", "peer", "", 1, 0, 1.5}, benchsummary::kOk, {"1.50x", "ok"}},
        {"over a ratio to the peer", {"ours", "peer", "", 1, 0, 1.4}, benchsummary::kOverLimit, {"FAIL"}},
        {"a row without work", {"idle", "peer", "", 1, 1e9}, benchsummary::kNoWork, {"NO WORK"}},
        {"a peer without work", {"ours", "idle"}, benchsummary::kNoWork, {"peer idle: NO WORK"}},
        {"a failed benchmark", {"broken", "peer"}, benchsummary::kNoWork, {"ERROR: display did not start"}},
        {"a peer that did not run", {"ours", "gone"}, benchsummary::kNoWork, {"NO PEER"}},
        {"a row filtered out", {"gone", "peer"}, benchsummary::kOk, {}},
    };
    for (const Case& c : cases) {
        const Printed p = Print(figures, {c.row});
        EXPECT_EQ(p.outcome, c.outcome) << c.what << "\n" << p.text;
        for (const std::string& s : c.shown) EXPECT_NE(p.text.find(s), std::string::npos) << c.what << ": " << s << "\n" << p.text;
        // A failed row prints no figure.
        if (c.outcome == benchsummary::kNoWork) EXPECT_EQ(p.text.find(" ok"), std::string::npos) << c.what;
    }
}

// A run as the library hands it to the reporter.
benchmark::BenchmarkReporter::Run MakeRun(const char* name, double cpuNs, bool error, const double* work) {
    benchmark::BenchmarkReporter::Run run;
    run.run_name.function_name = name;
    run.run_type = benchmark::BenchmarkReporter::Run::RT_Iteration;
    run.time_unit = benchmark::kNanosecond;
    run.iterations = 1;
    run.cpu_accumulated_time = cpuNs * 1e-9;
    run.real_accumulated_time = cpuNs * 1e-9;
    run.error_occurred = error;
    if (error) run.error_message = "skipped";
    if (work) run.counters["work"] = *work;
    return run;
}

TEST(BenchSummary, TheReporterKeepsEveryRepetitionAndWhetherEachDidItsWork) {
    const double some = 480000, none = 0;
    struct Case {
        const char* what;
        std::vector<benchmark::BenchmarkReporter::Run> runs;
        std::vector<double> cpuUs;
        bool failed;
    };
    const Case cases[] = {
        {"repetitions with work", {MakeRun("a", 2000, false, &some), MakeRun("a", 4000, false, &some)}, {2, 4}, false},
        {"one repetition without work", {MakeRun("a", 2000, false, &some), MakeRun("a", 4000, false, &none)}, {2, 4}, true},
        {"no work counter at all", {MakeRun("a", 2000, false, nullptr)}, {2}, true},
        {"a failed run", {MakeRun("a", 2000, false, &some), MakeRun("a", 0, true, nullptr)}, {2}, true},
    };
    for (const Case& c : cases) {
        benchsummary::CollectingReporter reporter;
        std::ostringstream out;
        reporter.SetOutputStream(&out);
        reporter.SetErrorStream(&out);
        reporter.ReportRuns(c.runs);
        const Figure& f = reporter.mFigures.at("a");
        EXPECT_THAT(f.cpu, testing::Pointwise(testing::DoubleNear(1e-9), c.cpuUs)) << c.what;
        EXPECT_EQ(f.Failed(), c.failed) << c.what;
    }
}

TEST(BenchSummary, AProgramWhoseBenchmarkDidNoWorkFails) {
    benchmark::RegisterBenchmark("summary_test/idle", [](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(state.iterations());
        benchsummary::ReportWork(state, 0);
    });
    benchmark::RegisterBenchmark("summary_test/busy", [](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(state.iterations());
        benchsummary::ReportWork(state, 1);
    });
    struct Case {
        const char* filter;
        int status;
    };
    const Case cases[] = {{"--benchmark_filter=summary_test/idle", 1}, {"--benchmark_filter=summary_test/busy", 0}};
    for (const Case& c : cases) {
        std::string program = "summary_test", filter = c.filter, time = "--benchmark_min_time=0.0001";
        char* argv[] = {program.data(), filter.data(), time.data()};
        int rows = 0;
        const int status = benchsummary::RunMain(3, argv, [&rows](const Figures& figures, Summary&) {
            rows = static_cast<int>(figures.size());
        });
        EXPECT_EQ(status, c.status) << c.filter;
        EXPECT_EQ(rows, 1) << c.filter;
    }
}

} // namespace
