#include "platform/ProfileFile.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <mutex>
#include <shared_mutex>
#include <vector>

namespace platform {

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::shared_mutex& ProfileLock() {
    static std::shared_mutex lock;
    return lock;
}

std::string Trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    return AsciiLower(a) == AsciiLower(b);
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// "[name]" -> name; false for any other line.
bool SectionName(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" -> key and value; false when the line has no equals sign.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\'')))
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::wstring ProfileFile::ReadString(const std::wstring& path, const std::wstring& section,
                                     const std::wstring& key, const std::wstring& defaultValue,
                                     size_t maxChars) {
    auto clip = [maxChars](std::wstring v) {
        if (v.size() > maxChars)
            v.resize(maxChars);
        return v;
    };
    if (path.empty())
        return clip(defaultValue);
    std::string content;
    {
        std::shared_lock<std::shared_mutex> guard(ProfileLock());
        if (!ReadWholeFile(path, content))
            return clip(defaultValue);
    }
    if (content.compare(0, 3, kByteOrderMark) == 0)
        content.erase(0, 3);
    const std::string wantSection = WideToUtf8(section);
    const std::string wantKey = WideToUtf8(key);
    bool inSection = false;
    for (const std::string& line : SplitLines(content)) {
        std::string name;
        if (SectionName(line, name)) {
            inSection = SameName(name, wantSection);
            continue;
        }
        std::string k, v;
        if (inSection && KeyValue(line, k, v) && SameName(k, wantKey))
            return clip(Utf8ToWide(Unquote(v)));
    }
    return clip(defaultValue);
}

bool ProfileFile::WriteString(const std::wstring& path, const std::wstring& section,
                              const std::wstring& key, const std::wstring& value) {
    if (path.empty() || section.empty() || key.empty())
        return false;
    if (value.find_first_of(L"\r\n") != std::wstring::npos)
        return false;
    const std::string wantSection = WideToUtf8(section);
    const std::string wantKey = WideToUtf8(key);
    const std::string newLine = wantKey + "=" + WideToUtf8(value);

    std::unique_lock<std::shared_mutex> guard(ProfileLock());
    std::string content;
    if (FileExists(path) && !ReadWholeFile(path, content))
        return false;
    // A byte-order mark (as some editors save the file) is not part of the first line, for
    // the reader as for the writer; it is kept.
    const bool byteOrderMark = content.compare(0, 3, kByteOrderMark) == 0;
    if (byteOrderMark)
        content.erase(0, 3);
    std::vector<std::string> lines = SplitLines(content);

    long sectionLine = -1;
    long lastInSection = -1;
    long keyLine = -1;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionName(lines[i], name)) {
            if (inSection)
                break; // the section ended
            inSection = SameName(name, wantSection);
            if (inSection) {
                sectionLine = static_cast<long>(i);
                lastInSection = static_cast<long>(i);
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!Trim(lines[i]).empty())
            lastInSection = static_cast<long>(i);
        std::string k, v;
        if (KeyValue(lines[i], k, v) && SameName(k, wantKey)) {
            keyLine = static_cast<long>(i);
            break;
        }
    }
    if (keyLine >= 0) {
        // Keep the key as the file spells it.
        std::string existingKey, oldValue;
        KeyValue(lines[static_cast<size_t>(keyLine)], existingKey, oldValue);
        lines[static_cast<size_t>(keyLine)] = existingKey + "=" + WideToUtf8(value);
    } else if (sectionLine >= 0) {
        lines.insert(lines.begin() + lastInSection + 1, newLine);
    } else {
        lines.push_back("[" + wantSection + "]");
        lines.push_back(newLine);
    }
    std::string out = byteOrderMark ? kByteOrderMark : "";
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return ReplaceFileContent(path, out);
}

} // namespace platform
