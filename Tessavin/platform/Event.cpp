#include "platform/Event.h"

#include <chrono>

namespace platform {

void Event::Set() {
    // Notified under the lock: the woken thread cannot get past its wait (and perhaps
    // destroy this event) before Set has finished with it.
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = true;
    cond_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = false;
}

void Event::Wait() {
    std::unique_lock<std::mutex> guard(mutex_);
    cond_.wait(guard, [this] { return signalled_; });
    signalled_ = false;
}

bool Event::WaitFor(unsigned timeoutMs) {
    std::unique_lock<std::mutex> guard(mutex_);
    if (!cond_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; }))
        return false;
    signalled_ = false;
    return true;
}

void Event::ResetAndWait() {
    Reset();
    Wait();
}

} // namespace platform
