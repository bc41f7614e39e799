#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Console output as usual, plus the time per iteration of every run by name,
// so that a benchmark can print its figures beside their peers at the end.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                mTimes[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> mTimes;
};
