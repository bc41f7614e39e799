#pragma once
#include <string>
#include "framework/app/critical_section.h"

// A copy without '^', runs of spaces collapsed, no leading or trailing spaces.
std::u16string SanitizeName(const std::u16string& name);
// a + (b - a) * r / 32767 with r from the game's generator.
float RandomFloatInRange(float a, float b);
// A value in the closed range [a, b] (bounds given in either order).
int RandomIntInRange(int a, int b);
// The value RandomIntInRange gives for the draw r (0..32767):
// a + floor((b - a + 1) * r / 32767), kept within [a, b] when a <= b.
int RandomIntForDraw(int a, int b, int r);

// Enters a critical section for its lifetime.
class CritSectLock {
public:
    explicit CritSectLock(Zephra::CriticalSection& cs) : cs_(cs) { cs_.Lock(); }
    ~CritSectLock() { cs_.Unlock(); }
    CritSectLock(const CritSectLock&) = delete;
    CritSectLock& operator=(const CritSectLock&) = delete;
private:
    Zephra::CriticalSection& cs_;
};

extern Zephra::CriticalSection gScriptLock;
extern Zephra::CriticalSection gEffectTimerLock;

// The game's trace output; deliberately silent.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
