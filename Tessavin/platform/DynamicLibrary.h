#pragma once

#include <string>

namespace platform {

// A shared library loaded with dlopen; unloaded when the object goes.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool Load(const std::wstring& path);
    void Unload();
    // Null when the symbol is missing or nothing is loaded.
    void* Symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

} // namespace platform
