#pragma once

#include "platform/MessageTarget.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace platform {

struct PostedMessage {
    unsigned message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

// A MessageTarget that keeps posted messages in order until its owner pumps them.
class MessageQueue : public MessageTarget {
public:
    bool Post(unsigned message, WParam wParam, LParam lParam) override;

    // Hands every waiting message to the handler, in posting order; returns how many.
    size_t Pump(const std::function<void(const PostedMessage&)>& handler);
    // Waits up to timeoutMs for a message and takes it.
    bool WaitNext(PostedMessage& out, unsigned timeoutMs);
    // Takes every waiting message without handling it.
    std::vector<PostedMessage> Drain();
    size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cond_;
    std::deque<PostedMessage> messages_;
};

} // namespace platform
