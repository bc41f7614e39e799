#pragma once
#include <cstdint>

namespace platform {

constexpr int kRandMax = 32767;

// The classic 15-bit linear congruential generator, seedable for tests.
class Random15 {
public:
    explicit Random15(uint32_t seed = 1) : state_(seed) {}
    void Seed(uint32_t seed) { state_ = seed; }
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }
private:
    uint32_t state_;
};

// The process-wide generator every game random number comes from.
int Rand();
void SeedRand(uint32_t seed);

} // namespace platform
