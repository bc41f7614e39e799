// The soak's verdict on memory growth, on sampled series of what a run keeps
// in use: noise, restarts, caches filled once and the swing between the
// menus and a level are not a leak; a slow steady growth is, however sparsely
// it was sampled, as long as there are samples enough to say.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "tools/memory_trend.h"

namespace {

constexpr double kMb = 1024.0 * 1024.0;

// A run of the given length sampled every so many seconds; the shape gives the
// megabytes in use at a time and whether a level is up.
std::vector<memtrend::Sample> Series(double seconds, double every, unsigned seed,
                                     const std::function<double(double at, bool inLevel, std::mt19937&)>& shape) {
    std::mt19937 rng(seed);
    std::vector<memtrend::Sample> out;
    for (double at = 0; at < seconds; at += every) {
        const bool inLevel = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
        out.push_back({at, static_cast<size_t>(std::max(0.0, shape(at, inLevel, rng)) * kMb), inLevel});
    }
    return out;
}

double Noise(std::mt19937& rng, double mb) { return std::uniform_real_distribution<double>(-mb, mb)(rng); }

TEST(MemoryTrend, GrowthOnlyWhenSustainedAboveTheFloor) {
    // The menus hold about 45 MB, a level 12 MB more.
    auto base = [](bool inLevel) { return inLevel ? 57.0 : 45.0; };
    struct Case {
        const char* what;
        double seconds, every;
        std::function<double(double, bool, std::mt19937&)> shape;
        bool judged, grows;
    };
    const Case cases[] = {
        {"flat, 2 MB of noise, every 60 s for half an hour: too few samples to say", 1800, 60,
         [&](double, bool l, std::mt19937& r) { return base(l) + Noise(r, 2); }, false, false},
        {"flat, 2 MB of noise, every 30 s", 3600, 30,
         [&](double, bool l, std::mt19937& r) { return base(l) + Noise(r, 2); }, true, false},
        {"flat, every fifth sample just after a restart (12 MB lower), every 15 s", 3600, 15,
         [&](double at, bool l, std::mt19937& r) {
             return base(l) + Noise(r, 1) - (static_cast<int>(at / 15) % 5 == 0 ? 12 : 0);
         },
         true, false},
        {"a cache filled once, 6 MB in the middle of the run", 1800, 30,
         [&](double at, bool l, std::mt19937& r) { return base(l) + Noise(r, 1) + (at > 1200 ? 6 : 0); }, true, false},
        {"a step up and back down", 3600, 30,
         [&](double at, bool l, std::mt19937& r) {
             return base(l) + Noise(r, 1) + (at > 2000 && at < 2800 ? 8 : 0);
         },
         true, false},
        {"growth below the floor, 0.4 MB per ten minutes", 3600, 15,
         [&](double at, bool l, std::mt19937& r) { return base(l) + Noise(r, 1) + at / 600 * 0.4; }, true, false},
        {"a slow leak, 2 MB per ten minutes, every 15 s", 3600, 15,
         [&](double at, bool l, std::mt19937& r) { return base(l) + Noise(r, 2) + at / 600 * 2; }, true, true},
        {"a slow leak, 3 MB per ten minutes, every 60 s", 3600, 60,
         [&](double at, bool l, std::mt19937& r) { return base(l) + Noise(r, 2) + at / 600 * 3; }, true, true},
        {"a leak in the level only", 3600, 30,
         [&](double at, bool l, std::mt19937& r) { return base(l) + Noise(r, 1) + (l ? at / 600 * 2 : 0); }, true,
         true},
        {"too few samples to say: every 120 s", 1800, 120,
         [&](double at, bool l, std::mt19937& r) { return base(l) + Noise(r, 1) + at / 600 * 5; }, false, false},
        {"twelve minutes, filling through the last five as a level is played: too short a span", 720, 10,
         [&](double at, bool, std::mt19937& r) { return at < 420 ? 36 + Noise(r, 2) : 40 + (at - 420) / 60 + Noise(r, 4); },
         false, false},
        {"too short a run", 300, 5,
         [&](double at, bool l, std::mt19937& r) { return base(l) + at / 60 * 5; }, false, false},
    };
    for (const Case& c : cases) {
        for (unsigned seed : {1u, 2u, 3u}) {
            const memtrend::Verdict v = memtrend::JudgeGrowth(Series(c.seconds, c.every, seed, c.shape), c.seconds, 1);
            EXPECT_EQ(v.judged, c.judged) << c.what << ", seed " << seed << ": " << v.why;
            EXPECT_EQ(v.grows, c.grows) << c.what << ", seed " << seed << ": " << v.why;
        }
    }
}

} // namespace
