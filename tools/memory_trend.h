#pragma once
// Whether the memory a long run keeps in use grows, judged from samples taken
// now and then: robust to the sampling (a sample just after a restart, a cache
// filled once, the swing between the menus and a level), so that only a
// growth that goes on through the run and is larger than a floor counts.
#include <cstddef>
#include <string>
#include <vector>

namespace memtrend {

struct Sample {
    double at = 0;          // seconds into the run
    size_t heap = 0;        // bytes in use
    bool inLevel = false;   // a level was up (it holds more than the menus)
};

struct Verdict {
    bool grows = false;
    bool judged = false;    // enough samples to say either way
    std::string why;        // the figures behind it, one clause per part of the run judged
};

// A run this short is still filling its caches: no verdict.
constexpr double kWarmUpSeconds = 600;
// Samples of the menus or of the level, in the judged part of the run, below
// which that part gets no verdict; and the time they must span (a level
// fills as it is played: a few minutes of one visit are no trend).
constexpr size_t kMinSamples = 16;
constexpr double kMinSpanSeconds = 600;

// The first third of the run is left out (caches filling). The rest is judged
// within the menus and within the level (so a run shorter than a quarter of
// an hour gets no verdict), each by the median of the slopes
// between every two samples (one odd sample in three moves it little): it
// grows when that slope over the part's span exceeds the floor, 1 MB per ten
// minutes of run and at least allowMb over the run, and each half of the span
// grows on its own at half that rate or more, so that one step up is not a leak.
Verdict JudgeGrowth(const std::vector<Sample>& samples, double seconds, double allowMb);

// The median of the slopes (bytes per second) between every two samples of
// different times; 0 with fewer than two.
double MedianSlope(const std::vector<Sample>& samples);

} // namespace memtrend
