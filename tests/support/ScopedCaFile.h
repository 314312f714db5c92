#pragma once

#include "engine/UpDateXml.h"

#include <string>

// Makes the downloads trust the CA certificates of a test's own (CUpDateXml::SetCaFile) for
// as long as the object lives; then the system's store again.
class ScopedCaFile {
public:
    explicit ScopedCaFile(const std::string& path) { CUpDateXml::SetCaFile(path); }
    ~ScopedCaFile() { CUpDateXml::SetCaFile(std::string()); }
    ScopedCaFile(const ScopedCaFile&) = delete;
    ScopedCaFile& operator=(const ScopedCaFile&) = delete;
};
