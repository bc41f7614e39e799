#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {
namespace {

class SystemClock final : public Clock {
public:
    uint64_t NowMs() override {
        using namespace std::chrono;
        return static_cast<uint64_t>(
            duration_cast<milliseconds>(steady_clock::now() - start_).count());
    }
    void SleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
private:
    // Counting from the first use keeps the 32-bit tick count far from wrapping.
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

SystemClock& System() {
    static SystemClock clock;
    return clock;
}

std::atomic<Clock*> gOverride{nullptr};

} // namespace

Clock& GetClock() {
    Clock* c = gOverride.load(std::memory_order_acquire);
    return c ? *c : System();
}

void SetClock(Clock* clock) { gOverride.store(clock, std::memory_order_release); }

} // namespace platform
