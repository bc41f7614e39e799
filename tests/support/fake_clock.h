#pragma once
#include <cstdint>
#include "platform/clock.h"

namespace testsupport {

// Time moves only when the code under test sleeps or the test says so.
// Installed for its lifetime.
class FakeClock : public platform::Clock {
public:
    uint64_t now = 100000;

    FakeClock() { platform::SetClock(this); }
    ~FakeClock() override { platform::SetClock(nullptr); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    uint64_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override { now += ms; }
};

} // namespace testsupport
