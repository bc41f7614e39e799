#pragma once
#include "platform/lock.h"

namespace Zephra {
// Recursive lock owned by its holder.
class CriticalSection {
public:
    void Lock() { mLock.lock(); }
    void Unlock() { mLock.unlock(); }
    bool TryLock() { return mLock.try_lock(); }
    // The standard names, so that std::lock_guard can hold it for a scope.
    void lock() { Lock(); }
    void unlock() { Unlock(); }
private:
    platform::RecursiveLock mLock;
};
} // namespace Zephra
