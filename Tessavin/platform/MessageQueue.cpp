#include "platform/MessageQueue.h"

#include <chrono>

namespace platform {

bool MessageQueue::Post(unsigned message, WParam wParam, LParam lParam) {
    std::lock_guard<std::mutex> guard(mutex_);
    messages_.push_back(PostedMessage{message, wParam, lParam});
    cond_.notify_all(); // under the lock, like Event::Set
    return true;
}

size_t MessageQueue::Pump(const std::function<void(const PostedMessage&)>& handler) {
    std::vector<PostedMessage> batch = Drain();
    for (const PostedMessage& m : batch)
        handler(m);
    return batch.size();
}

bool MessageQueue::WaitNext(PostedMessage& out, unsigned timeoutMs) {
    std::unique_lock<std::mutex> guard(mutex_);
    if (!cond_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                        [this] { return !messages_.empty(); }))
        return false;
    out = messages_.front();
    messages_.pop_front();
    return true;
}

std::vector<PostedMessage> MessageQueue::Drain() {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<PostedMessage> batch(messages_.begin(), messages_.end());
    messages_.clear();
    return batch;
}

size_t MessageQueue::Size() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return messages_.size();
}

} // namespace platform
