#include "xml/OpmlImport.h"

#include "catalogue/Channel.h"
#include "catalogue/Group.h"
#include "config/LogFile.h"
#include "engine/Messages.h"
#include "engine/UpDateXml.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/MessageTarget.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace {

const size_t npos = std::string::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of `name="..."` inside [from, tagEnd): the name must stand after a blank and be
// followed at once by an equals sign and a double quote. valueEnd receives the position
// just after the closing quote.
bool Attribute(const std::string& text, size_t from, size_t tagEnd, const std::string& name,
               std::string& value, size_t& valueEnd) {
    const std::string marker = name + "=\"";
    // Every search stays inside the tag, so a scan of the document stays linear.
    const std::string_view tag(text.data(), std::min(tagEnd, text.size()));
    for (size_t p = tag.find(marker, from); p != npos; p = tag.find(marker, p + 1)) {
        if (p == 0 || !IsBlank(text[p - 1]))
            continue;
        size_t start = p + marker.size();
        size_t close = tag.find('"', start);
        if (close == npos)
            return false;
        value = text.substr(start, close - start);
        valueEnd = close + 1;
        return true;
    }
    return false;
}

} // namespace

COpmlImport::~COpmlImport() = default;

int COpmlImport::Fail() {
    if (frame_)
        frame_->Post(kMsgStatus, kStatusImportFailed, 0);
    return 0;
}

bool COpmlImport::IsUtf8Document() const {
    if (docText_.empty())
        return false;
    // The text 10 characters after "encoding" (the word, '=' and the opening quote).
    size_t found = docText_.find("encoding");
    size_t start = (found == npos ? static_cast<size_t>(-1) : found) + 10;
    std::string value;
    if (start < docText_.size()) {
        size_t close = docText_.find('"', start);
        value = platform::AsciiLower(docText_.substr(start, close == npos ? npos : close - start));
    }
    if (value == "utf-8")
        return true;
    if (value == "gb2312")
        return false;
    return docText_.find("<language>en-us</language>") == npos;
}

std::wstring COpmlImport::Decode(const std::string& bytes) const {
    return isUtf8_ ? platform::Utf8ToWide(bytes) : platform::NativeToWide(bytes);
}

int COpmlImport::Import(const std::wstring& path, uint32_t parentGroupId, uint32_t firstGroupId,
                        uint32_t firstChannelId) {
    std::string buffer;
    const std::wstring scheme = path.substr(0, 7);
    if (scheme == L"http://" || scheme == L"HTTP://") {
        CUpDateXml downloader(frame_);
        if (downloader.DownLoadXmlbuf(path, 1) != 1)
            return Fail();
        buffer = downloader.Buffer();
    } else {
        // Read whole and closed on every path; a file that cannot be read whole fails.
        if (!platform::FileExists(path) || !platform::ReadWholeFile(path, buffer)) {
            LogPrintf(L"Failed open the opml feed file");
            return 0;
        }
    }
    if (buffer.empty()) {
        LogPrintf(L"Buffer is empty, failed to import channel from channel file");
        return Fail();
    }
    docText_ = std::move(buffer);
    isUtf8_ = IsUtf8Document();
    if (docText_.find("opml version") == npos)
        return Fail();
    Scan(parentGroupId, firstGroupId, firstChannelId);
    return 1;
}

void COpmlImport::Scan(uint32_t parentGroupId, uint32_t firstGroupId, uint32_t firstChannelId) {
    const std::string& text = docText_;
    size_t position = 0;
    long depth = 0;
    bool firstLevel = true;
    bool noKind = false;
    uint32_t groupCounter = firstGroupId - 1;
    uint32_t channelCounter = firstChannelId - 1;
    groupStack_.clear();
    static const std::string kWord = "outline";
    size_t nextGt = npos; // the first '>' at or after the last tag's name
    for (;;) {
        size_t word = text.find(kWord, position);
        if (word == npos)
            return;
        const size_t afterWord = word + kWord.size();
        const char before = word > 0 ? text[word - 1] : '\0';
        if (before == '/') {
            position = afterWord;
            // An unbalanced end tag never takes the depth below the top level.
            if (depth > 0)
                --depth;
            if (!groupStack_.empty())
                groupStack_.pop_back();
            if (depth == 0)
                firstLevel = true;
            continue;
        }
        if (nextGt == npos || nextGt < afterWord)
            nextGt = text.find('>', afterWord);
        if (nextGt == npos)
            return; // a tag that never ends: nothing more can be read
        const size_t tagEnd = nextGt;
        std::string kind;
        size_t kindEnd = 0;
        const bool hasKind = Attribute(text, afterWord, tagEnd, "kind", kind, kindEnd);
        if (!hasKind)
            noKind = true;
        const bool group = hasKind && (kind == "nkPath" || kind == "nkDOPML");
        const bool channel = !hasKind || kind == "nkFeed" || (!group && noKind);
        if (!group && !channel) {
            position = tagEnd;
            continue;
        }
        std::string value;
        size_t valueEnd = 0;
        if (group) {
            depth = before == '<' ? depth + 1 : 0;
            auto record = std::make_unique<CGroup>();
            if (Attribute(text, afterWord, tagEnd, "text", value, valueEnd))
                record->SetName(Decode(value));
            uint32_t parent;
            if (firstLevel) {
                parent = static_cast<uint32_t>(static_cast<long>(parentGroupId) + depth - 1);
                firstLevel = false;
            } else {
                parent = groupStack_.empty() ? 0 : groupStack_.back();
            }
            record->SetParentId(parent);
            record->SetId(++groupCounter);
            if (depth >= 1)
                groupStack_.push_back(record->GetId());
            groups_.push_back(std::move(record));
            position = tagEnd; // the word "outline" inside a value is no tag
            continue;
        }
        auto record = std::make_unique<CChannel>();
        record->SetId(++channelCounter);
        record->SetGroupId(groupStack_.empty() ? 0 : groupStack_.back());
        record->SetFileStem(platform::FormatW(L"%s%d", L"rss", static_cast<int>(record->GetId())));
        if (Attribute(text, afterWord, tagEnd, "text", value, valueEnd))
            record->SetName(Decode(value));
        if (Attribute(text, afterWord, tagEnd, "xmlUrl", value, valueEnd))
            record->SetUrl(Decode(value));
        if (Attribute(text, afterWord, tagEnd, "interval", value, valueEnd))
            record->SetInterval(static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10)));
        if (Attribute(text, afterWord, tagEnd, "itemMax", value, valueEnd))
            record->SetMaxItems(static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10)));
        if (Attribute(text, afterWord, tagEnd, "description", value, valueEnd))
            record->SetDescription(Decode(value));
        channels_.push_back(std::move(record));
        position = tagEnd;
    }
}
