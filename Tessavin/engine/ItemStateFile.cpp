#include "engine/ItemStateFile.h"

#include "config/LogFile.h"
#include "platform/File.h"

std::vector<StateRecord> ItemStateFile::Parse(const std::string& content) {
    std::vector<StateRecord> records;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        StateRecord record;
        const size_t length = end - start;
        if (length >= 7) {
            record.usable = true;
            record.code = content.substr(start, 4);
            record.readMark = content[start + 1];
            record.flagMark = content[start + 2];
            record.deletedMark = content[start + 3];
            record.link = WithoutLineBreaks(content.substr(start + 7, length - 7));
        }
        records.push_back(std::move(record));
        start = end + 1;
    }
    return records;
}

void ItemStateFile::AppendNewItemLine(std::string& out, const std::string& link) {
    out += "F000   ";
    out += link;
    out += '\n';
}

void ItemStateFile::AppendKnownItemLine(std::string& out, const std::string& code,
                                        const std::string& link) {
    out += code;
    out += "   ";
    for (size_t start = 0; start < link.size();) {
        size_t stop = link.find_first_of("\r\n", start);
        if (stop == std::string::npos)
            stop = link.size();
        out.append(link, start, stop - start);
        start = stop + 1;
    }
    out += '\n';
}

std::string ItemStateFile::WithoutLineBreaks(const std::string& link) {
    if (link.find_first_of("\r\n") == std::string::npos)
        return link;
    std::string out;
    out.reserve(link.size());
    for (char c : link)
        if (c != '\r' && c != '\n')
            out.push_back(c);
    return out;
}

bool ItemStateFile::FindLine(const std::string& content, uint32_t number, size_t& start,
                             size_t& end) {
    start = 0;
    for (uint32_t line = 1; line < number && start < content.size(); ++line) {
        const size_t lf = content.find('\n', start);
        start = lf == std::string::npos ? content.size() : lf + 1;
    }
    if (number == 0 || start >= content.size())
        return false;
    end = content.find('\n', start);
    if (end == std::string::npos)
        end = content.size();
    return true;
}

bool ItemStateFile::OpenHeld(platform::File& file, const std::wstring& path, std::string& content) {
    if (file.Open(path,
                  platform::File::kRead | platform::File::kWrite | platform::File::kExclusive) &&
        file.ReadToEnd(content))
        return true;
    file.Close();
    LogPrintf(L"Failed open flgfile!");
    return false;
}
