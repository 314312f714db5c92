#pragma once

#include "config/Folders.h"
#include "platform/CodePage.h"

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh folder under the system temporary folder, removed with everything in it when
// the object goes. Path() ends with '/'.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::wstring WPath() const { return platform::Utf8ToWide(path_); }
    // Path() + relative.
    std::string operator/(const std::string& relative) const { return path_ + relative; }

private:
    std::string path_;
};

// Makes dir the application folder for the code under test, and for a plug-in library a test
// loads (TESSAVIN_APP_DIR, how a host tells it).
inline void UseAppDirectory(const TempDir& dir) {
    SetAppDirectory(platform::Utf8ToWide(dir.Path()));
    setenv("TESSAVIN_APP_DIR", dir.Path().c_str(), 1);
}
// File helpers for tests.
std::string ReadFileBytes(const std::string& path);
// Makes the missing folders on the way.
void WriteFileBytes(const std::string& path, const std::string& bytes);
inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}
inline void MakeFolders(const std::string& path) {
    std::filesystem::create_directories(path);
}
