#pragma once

#include "platform/SyncObject.h"

#include <mutex>

namespace platform {

// A re-entrant lock: the thread that holds it may take it again.
class CriticalSection : public SyncObject {
public:
    void Lock() override { mutex_.lock(); }
    void Unlock() override { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

} // namespace platform
