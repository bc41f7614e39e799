#include "tools/memory_trend.h"

#include <algorithm>
#include <cstdio>

namespace memtrend {

double MedianSlope(const std::vector<Sample>& samples) {
    std::vector<double> slopes;
    for (size_t i = 0; i < samples.size(); ++i) {
        for (size_t j = i + 1; j < samples.size(); ++j) {
            const double dt = samples[j].at - samples[i].at;
            if (dt == 0) continue;
            slopes.push_back((static_cast<double>(samples[j].heap) - static_cast<double>(samples[i].heap)) / dt);
        }
    }
    if (slopes.empty()) return 0;
    const size_t mid = slopes.size() / 2;
    std::nth_element(slopes.begin(), slopes.begin() + static_cast<std::ptrdiff_t>(mid), slopes.end());
    return slopes[mid];
}

Verdict JudgeGrowth(const std::vector<Sample>& samples, double seconds, double allowMb) {
    Verdict v;
    if (seconds < kWarmUpSeconds) {
        v.why = "too short to judge growth";
        return v;
    }
    constexpr double kMb = 1024.0 * 1024.0;
    const double allowedRate = std::max(allowMb, seconds / 600.0) * kMb / seconds;
    for (bool inLevel : {false, true}) {
        std::vector<Sample> part;
        for (const Sample& s : samples) {
            if (s.inLevel == inLevel && s.at >= seconds / 3) part.push_back(s);
        }
        const char* where = inLevel ? "level" : "menus";
        char text[200];
        std::sort(part.begin(), part.end(), [](const Sample& a, const Sample& b) { return a.at < b.at; });
        const double span = part.empty() ? 0 : part.back().at - part.front().at;
        if (part.size() < kMinSamples || span < kMinSpanSeconds) {
            std::snprintf(text, sizeof text, "%s: %zu samples over %.0f s, too few to judge", where, part.size(),
                          span);
        } else {
            const double middle = (part.front().at + part.back().at) / 2;
            const auto split = std::find_if(part.begin(), part.end(), [&](const Sample& s) { return s.at >= middle; });
            const double slope = MedianSlope(part);
            const double early = MedianSlope({part.begin(), split});
            const double late = MedianSlope({split, part.end()});
            const bool grows = slope > allowedRate && early > allowedRate / 2 && late > allowedRate / 2;
            const double perTen = 600.0 / kMb;
            std::snprintf(text, sizeof text,
                          "%s: %zu samples, %+.2f MB per ten minutes (halves %+.2f, %+.2f; allowed %.2f)", where,
                          part.size(), slope * perTen, early * perTen, late * perTen, allowedRate * perTen);
            v.judged = true;
            v.grows = v.grows || grows;
        }
        v.why += v.why.empty() ? text : std::string("; ") + text;
    }
    return v;
}

} // namespace memtrend
