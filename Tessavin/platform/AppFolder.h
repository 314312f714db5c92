#pragma once

#include <string>

namespace platform {

// The folder of the running executable with a trailing '/', from /proc/self/exe.
// TESSAVIN_APP_DIR, when set and not empty, replaces it (a '/' is appended when missing).
// Empty when neither can be read.
std::wstring ExecutableFolder();

} // namespace platform
