#pragma once

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
    std::wstring WPath() const;
    // Path() + relative.
    std::string operator/(const std::string& relative) const { return path_ + relative; }

private:
    std::string path_;
};

// Makes dir the application folder for the code under test (TESSAVIN_APP_DIR).
void UseAppDirectory(const TempDir& dir);
// File helpers for tests.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
void MakeFolders(const std::string& path);
