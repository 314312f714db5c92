#pragma once

#include "platform/SyncObject.h"

#include <condition_variable>
#include <mutex>

namespace platform {

// An auto-reset event: Set releases one waiter (or the next one to wait), then the
// event is unsignalled again. Lock waits without a time limit; Unlock does nothing.
class Event : public SyncObject {
public:
    explicit Event(bool initiallySet = false) : signalled_(initiallySet) {}

    void Set();
    void Reset();
    // Waits until the event is signalled and consumes the signal.
    void Wait();
    // Waits at most timeoutMs; true when the signal was consumed.
    bool WaitFor(unsigned timeoutMs);
    // Clears a pending signal, then waits for a new one.
    void ResetAndWait();

    void Lock() override { Wait(); }
    void Unlock() override {}

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    bool signalled_;
};

} // namespace platform
