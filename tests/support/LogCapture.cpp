#include "LogCapture.h"

#include "TempDir.h"
#include "platform/CodePage.h"

#include <cstring>
#include <filesystem>
#include <set>

std::wstring ReadUtf16File(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(&units[0], bytes.data(), units.size() * 2); // the test hosts are little-endian
    return platform::Utf16ToWide(units);
}

std::wstring LogCapture::Text() const {
    std::set<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(appDir_ + "RssConfig/Log", ec))
        files.insert(entry.path().string());
    std::wstring text;
    for (const std::string& file : files)
        text += ReadUtf16File(file);
    return text;
}

size_t LogCapture::Count(const std::wstring& text) const {
    const std::wstring all = Text();
    size_t n = 0;
    for (size_t pos = 0; (pos = all.find(text, pos)) != std::wstring::npos; ++pos)
        ++n;
    return n;
}
