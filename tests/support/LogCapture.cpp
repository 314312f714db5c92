#include "LogCapture.h"

#include "TempDir.h"
#include "config/LogFile.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <filesystem>
#include <vector>

LogCapture::LogCapture(const std::string& appDir) : appDir_(appDir) {
    loggingOn = 1;
}

LogCapture::~LogCapture() {
    loggingOn = 0;
}

std::wstring LogCapture::Text() const {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(appDir_ + "RssConfig/Log", ec))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    std::wstring text;
    for (const std::string& file : files) {
        std::string bytes = ReadFileBytes(file);
        std::u16string units;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        text += platform::Utf16ToWide(units);
    }
    return text;
}

size_t LogCapture::Count(const std::wstring& text) const {
    std::wstring all = Text();
    size_t n = 0;
    for (size_t pos = all.find(text); pos != std::wstring::npos; pos = all.find(text, pos + 1))
        ++n;
    return n;
}
