#include "platform/random.h"

#include <mutex>

namespace platform {
namespace {
std::mutex gRandMutex;
Random15 gRand;
} // namespace

int Rand() {
    std::lock_guard<std::mutex> lock(gRandMutex);
    return gRand.Next();
}

void SeedRand(uint32_t seed) {
    std::lock_guard<std::mutex> lock(gRandMutex);
    gRand.Seed(seed);
}

} // namespace platform
