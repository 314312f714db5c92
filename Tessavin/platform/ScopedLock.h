#pragma once

#include "platform/SyncObject.h"

namespace platform {

// Locks a SyncObject for the lifetime of the guard.
class ScopedLock {
public:
    explicit ScopedLock(SyncObject& object) : object_(object) { object_.Lock(); }
    ~ScopedLock() { object_.Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    SyncObject& object_;
};

} // namespace platform
