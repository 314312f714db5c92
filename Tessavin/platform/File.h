#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A file opened with open(2). An exclusive open takes flock(LOCK_EX | LOCK_NB) and holds it
// while the file is open, so a second exclusive opener (in this or another process) fails,
// as an unshared open does on Windows.
class File {
public:
    enum Flags : unsigned {
        kRead = 1u << 0,
        kWrite = 1u << 1,
        kCreate = 1u << 2,    // create when missing
        kTruncate = 1u << 3,  // empty an existing file
        kExclusive = 1u << 4, // refuse (and be refused by) other exclusive openers
        kAppend = 1u << 5,    // every write goes to the end
    };
    enum class Whence { kBegin, kCurrent, kEnd };

    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    bool Open(const std::wstring& path, unsigned flags);
    void Close();
    // Closes on the closing thread (see FileCloser): only for a file renamed over.
    void CloseReplaced();
    bool IsOpen() const { return fd_ >= 0; }
    const std::wstring& Path() const { return path_; }

    // Bytes read (0 at the end), or -1 on failure.
    long long Read(void* buffer, size_t size);
    // Reads from the current position to the end.
    bool ReadToEnd(std::string& out);
    // Writes all bytes; false on any failure.
    bool Write(const void* data, size_t size);
    bool Write(const std::string& data) { return Write(data.data(), data.size()); }
    bool Seek(int64_t offset, Whence whence = Whence::kBegin);
    int64_t Position() const;
    // -1 when the size cannot be read.
    int64_t Size() const;
    bool Truncate(int64_t length);
    // Writes the file's data through to the disk.
    bool Flush();

private:
    int fd_ = -1;
    std::wstring path_;
};

} // namespace platform
