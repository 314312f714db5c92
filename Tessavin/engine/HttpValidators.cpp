#include "engine/HttpValidators.h"

#include "platform/FileSystem.h"

#include <sstream>

namespace {

const char kHeader[] = "validators 1";

bool Printable(const std::string& value) {
    for (unsigned char c : value)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

// "name=" value, the value printable and not too long.
bool TakeLine(std::istringstream& in, const char* name, std::string& value,
              size_t maxBytes = HttpValidators::kMaxValueBytes) {
    std::string line;
    if (!std::getline(in, line))
        return false;
    const std::string prefix = std::string(name) + "=";
    if (line.compare(0, prefix.size(), prefix) != 0)
        return false;
    value = line.substr(prefix.size());
    return Printable(value) && value.size() <= maxBytes;
}

} // namespace

std::string HttpValidators::Format() const {
    return std::string(kHeader) + "\nurl=" + url + "\netag=" + etag + "\nmodified=" + lastModified +
           "\n";
}

bool HttpValidators::Parse(const std::string& text) {
    *this = HttpValidators();
    if (text.empty() || text.back() != '\n')
        return false; // cut short
    std::istringstream in(text);
    std::string header;
    HttpValidators parsed;
    if (!std::getline(in, header) || header != kHeader ||
        !TakeLine(in, "url", parsed.url, kMaxUrlBytes) || !TakeLine(in, "etag", parsed.etag) ||
        !TakeLine(in, "modified", parsed.lastModified))
        return false;
    std::string rest;
    if (std::getline(in, rest) || parsed.url.empty())
        return false;
    *this = std::move(parsed);
    return true;
}

bool HttpValidators::Load(const std::wstring& path, const std::string& expectedUrl) {
    *this = HttpValidators();
    const long long size = platform::FileSize(path);
    std::string content;
    if (size <= 0 || size > static_cast<long long>(kMaxUrlBytes + 3 * kMaxValueBytes) ||
        !platform::ReadWholeFile(path, content))
        return false;
    if (!Parse(content) || url != expectedUrl) {
        *this = HttpValidators();
        return false;
    }
    return true;
}

bool HttpValidators::Save(const std::wstring& path) const {
    if (Empty())
        return !platform::PathExists(path) || platform::DeleteFile(path);
    const std::string bytes = Format();
    // Not flushed: a lost file only costs one full download.
    return platform::ReplaceFilesContent({{path, &bytes}}, /*flush=*/false);
}

std::string HttpValidators::CleanValue(const std::string& raw) {
    size_t begin = 0, end = raw.size();
    while (begin < end && (raw[begin] == ' ' || raw[begin] == '\t'))
        ++begin;
    while (end > begin && (raw[end - 1] == ' ' || raw[end - 1] == '\t' || raw[end - 1] == '\r' ||
                           raw[end - 1] == '\n'))
        --end;
    std::string value = raw.substr(begin, end - begin);
    if (!Printable(value) || value.size() > kMaxValueBytes)
        return std::string();
    return value;
}
