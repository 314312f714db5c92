#pragma once

#include <string>

namespace platform {

// INI settings files with the semantics of the Windows private-profile functions:
// sections and keys match without regard to ASCII case, a missing key reads as the
// caller's default, a present empty value reads as empty, a read returns at most 255
// characters. The file is UTF-8; every write replaces the whole file atomically
// (temporary file + rename), so a crash never leaves half a file. One process-wide lock
// lets worker threads read while the UI thread writes.
class ProfileFile {
public:
    static constexpr size_t kMaxValueChars = 255;

    // maxChars: how much of the value is returned (255 unless a caller needs more).
    static std::wstring ReadString(const std::wstring& path, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& defaultValue,
                                   size_t maxChars = kMaxValueChars);
    // False when the file cannot be written (for example when its folder is missing)
    // or when the value holds a line break.
    static bool WriteString(const std::wstring& path, const std::wstring& section,
                            const std::wstring& key, const std::wstring& value);
};

} // namespace platform
