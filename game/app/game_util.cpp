#include "game/app/game_util.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/random.h"

Zephra::CriticalSection gScriptLock;
Zephra::CriticalSection gEffectTimerLock;

std::u16string SanitizeName(const std::u16string& name) {
    std::u16string out;
    out.reserve(name.size());
    for (char16_t c : name) {
        if (c == u'^') continue;
        if (c == u' ' && (out.empty() || out.back() == u' ')) continue;
        out.push_back(c);
    }
    if (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

float RandomFloatInRange(float a, float b) {
    return a + (b - a) * static_cast<float>(platform::Rand()) / static_cast<float>(platform::kRandMax);
}

int RandomIntForDraw(int a, int b, int r) {
    if (a > b) std::swap(a, b);
    // r = kRandMax would give b + 1; the range is closed.
    int64_t span = static_cast<int64_t>(b) - a + 1;
    int64_t v = static_cast<int64_t>(a) + span * r / platform::kRandMax;
    return static_cast<int>(std::clamp<int64_t>(v, a, b));
}

int RandomIntInRange(int a, int b) { return RandomIntForDraw(a, b, platform::Rand()); }

void DebugTrace(const char*, ...) {}
