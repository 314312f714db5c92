#pragma once

namespace platform {

// Anything that can be locked and unlocked; see ScopedLock.
class SyncObject {
public:
    virtual ~SyncObject() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

} // namespace platform
