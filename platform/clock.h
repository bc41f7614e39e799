#pragma once
#include <cstdint>

namespace platform {

// Monotonic milliseconds. Tests install a fake so the main loop's pacing can be
// driven step by step.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

Clock& GetClock();
// nullptr restores the system clock. The caller keeps ownership.
void SetClock(Clock* clock);

inline uint32_t TickCount() { return static_cast<uint32_t>(GetClock().NowMs()); }

} // namespace platform
