#pragma once

#include <string>

namespace platform {

// The folder of the running executable with a trailing '/', from /proc/self/exe; empty
// when it cannot be read.
std::wstring ExecutableFolder();

} // namespace platform
