#pragma once

#include "config/Folders.h"
#include "platform/CodePage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// A folder of the process's own under the system temporary folder, made on first use and
// set as the application folder (it ends with '/').
inline const std::string& FuzzFolder() {
    static const std::string folder = [] {
        std::string path = (std::filesystem::temp_directory_path() /
                            ("tessavin-fuzz-" + std::to_string(::getpid())))
                               .string() +
                           "/";
        std::filesystem::create_directories(path);
        SetAppDirectory(platform::Utf8ToWide(path));
        return path;
    }();
    return folder;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Input(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A property of the code under test: when it fails, the input is a finding.
inline void Check(bool ok, const char* what, const std::string& detail) {
    if (ok)
        return;
    std::fprintf(stderr, "property failed: %s\n%s\n", what, detail.c_str());
    std::abort();
}
