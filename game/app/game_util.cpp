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
    int64_t num = (static_cast<int64_t>(b) - a + 1) * r;
    // floor, also for a reversed range (a > b), where the draw lies in [b + 1, a]
    int64_t step = num >= 0 ? num / platform::kRandMax : -((-num + platform::kRandMax - 1) / platform::kRandMax);
    int64_t v = static_cast<int64_t>(a) + step;
    // r = kRandMax would give b + 1; a forward range is closed.
    if (a <= b) v = std::min<int64_t>(v, b);
    return static_cast<int>(v);
}

int RandomIntInRange(int a, int b) { return RandomIntForDraw(a, b, platform::Rand()); }

void DebugTrace(const char*, ...) {}
