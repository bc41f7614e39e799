#pragma once
#include <mutex>

namespace platform {
// Recursive lock: a thread may enter again what it already holds.
using RecursiveLock = std::recursive_mutex;
} // namespace platform
