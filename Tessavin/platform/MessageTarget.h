#pragma once

#include <cstdint>

namespace platform {

using WParam = uintptr_t;
using LParam = intptr_t;

// A window that takes posted messages. Post never blocks on the receiver and is safe to
// call from any thread; the message is handled later on the receiver's own thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual bool Post(unsigned message, WParam wParam, LParam lParam) = 0;
};

} // namespace platform
