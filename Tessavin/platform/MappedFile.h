#pragma once

#include <string>
#include <string_view>

namespace platform {

// A whole file mapped read-only into memory; the view is valid while the object lives.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { Close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False when the file cannot be opened or mapped (an empty file maps to an empty view).
    bool Open(const std::wstring& path);
    void Close();
    std::string_view View() const { return std::string_view(data_, size_); }

private:
    const char* data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;
};

} // namespace platform
