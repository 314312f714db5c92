#include "platform/AppFolder.h"

#include "platform/CodePage.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::wstring ExecutableFolder() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::wstring();
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::wstring();
    return Utf8ToWide(path.substr(0, slash + 1));
}

} // namespace platform
