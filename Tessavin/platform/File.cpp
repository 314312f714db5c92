#include "platform/File.h"

#include "platform/CodePage.h"
#include "platform/FileCloser.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

File::~File() {
    Close();
}

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

bool File::Open(const std::wstring& path, unsigned flags) {
    Close();
    int mode = O_CLOEXEC;
    if ((flags & kRead) && (flags & kWrite))
        mode |= O_RDWR;
    else if (flags & kWrite)
        mode |= O_WRONLY;
    else
        mode |= O_RDONLY;
    if (flags & kCreate)
        mode |= O_CREAT;
    if (flags & kAppend)
        mode |= O_APPEND;
    std::string native = WideToUtf8(path);
    int fd;
    do {
        fd = ::open(native.c_str(), mode, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    if (flags & kExclusive) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno; // EWOULDBLOCK: another opener holds it
            ::close(fd);
            errno = error;
            return false;
        }
    }
    // Truncate only once the lock is ours, so a refused opener never empties the file.
    if ((flags & kTruncate) && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void File::Close() {
    if (fd_ >= 0) {
        ::close(fd_); // also drops the flock
        fd_ = -1;
    }
}

void File::CloseReplaced() {
    FileCloser::Close(fd_);
    fd_ = -1;
}

long long File::Read(void* buffer, size_t size) {
    if (fd_ < 0)
        return -1;
    ssize_t n;
    do {
        n = ::read(fd_, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool File::ReadToEnd(std::string& out) {
    out.clear();
    if (fd_ < 0)
        return false;
    const int64_t size = Size(), position = Position();
    if (size > 0 && position >= 0 && size > position)
        out.reserve(static_cast<size_t>(size - position));
    char block[65536];
    for (;;) {
        long long n = Read(block, sizeof block);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(block, static_cast<size_t>(n));
    }
}

bool File::Write(const void* data, size_t size) {
    if (fd_ < 0)
        return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool File::Seek(int64_t offset, Whence whence) {
    if (fd_ < 0)
        return false;
    int w = whence == Whence::kBegin ? SEEK_SET : whence == Whence::kCurrent ? SEEK_CUR : SEEK_END;
    return ::lseek(fd_, offset, w) >= 0;
}

int64_t File::Position() const {
    if (fd_ < 0)
        return -1;
    return ::lseek(fd_, 0, SEEK_CUR);
}

int64_t File::Size() const {
    if (fd_ < 0)
        return -1;
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        return -1;
    return st.st_size;
}

bool File::Truncate(int64_t length) {
    if (fd_ < 0 || ::ftruncate(fd_, length) != 0)
        return false;
    return ::lseek(fd_, length, SEEK_SET) >= 0;
}

bool File::Flush() {
    return fd_ >= 0 && ::fsync(fd_) == 0;
}

} // namespace platform
