#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary fixed point (monotonic); wraps like a 32-bit tick count.
uint32_t GetTickCount();

} // namespace platform
