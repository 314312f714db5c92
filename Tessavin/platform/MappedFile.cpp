#include "platform/MappedFile.h"

#include "platform/CodePage.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool MappedFile::Open(const std::wstring& path) {
    Close();
    int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && st.st_size > 0) {
        void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ,
                         MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p == MAP_FAILED) {
            ok = false;
        } else {
            data_ = static_cast<const char*>(p);
            size_ = static_cast<size_t>(st.st_size);
            mapped_ = true;
        }
    }
    ::close(fd);
    return ok;
}

void MappedFile::Close() {
    if (mapped_)
        ::munmap(const_cast<char*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

} // namespace platform
