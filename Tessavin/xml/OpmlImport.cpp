#include "xml/OpmlImport.h"

#include "catalogue/Channel.h"
#include "catalogue/Group.h"
#include "config/Config.h"
#include "config/LogFile.h"
#include "engine/Messages.h"
#include "engine/UpDateXml.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/MessageTarget.h"
#include "xml/XmlDocument.h"

#include <cerrno>
#include <cstdlib>

// One outline kept from the list, before ids are handed out.
struct COpmlImport::Outline {
    bool group = false;
    std::string name, url, description, interval, itemMax;
    bool hasInterval = false, hasItemMax = false;
    std::vector<Outline> children;
};

namespace {

// The value of the encoding pseudo-attribute of the XML declaration; empty without one.
// A whole decimal number, blanks around it allowed; false for anything else.
bool WholeNumber(const std::string& text, long long& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE)
        return false;
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')
        ++end;
    return *end == '\0';
}

} // namespace

COpmlImport::COpmlImport(platform::MessageTarget* frame) : frame_(frame) {}

COpmlImport::~COpmlImport() = default;

int COpmlImport::Fail() {
    if (frame_)
        frame_->Post(kMsgStatus, kStatusImportFailed, 0);
    return 0;
}

uint32_t COpmlImport::IntervalValue(const std::string& text) {
    long long value = 0;
    if (!WholeNumber(text, value) || value <= 0)
        return CChannel::kDefaultInterval;
    return value > kMaxInterval ? kMaxInterval : static_cast<uint32_t>(value);
}

uint32_t COpmlImport::ItemMaxValue(const std::string& text) {
    long long value = 0;
    if (!WholeNumber(text, value) || value <= 0 || value > UINT32_MAX)
        return CChannel::kDefaultMaxItems;
    return static_cast<uint32_t>(value);
}

int COpmlImport::Import(const std::wstring& path, uint32_t parentGroupId, uint32_t firstGroupId,
                        uint32_t firstChannelId) {
    std::string buffer;
    const std::wstring scheme = path.substr(0, 7);
    const std::wstring secureScheme = path.substr(0, 8);
    const bool secure = (secureScheme == L"https://" || secureScheme == L"HTTPS://") &&
                        CConfig().ReadAllowHttps() == 1;
    if (scheme == L"http://" || scheme == L"HTTP://" || secure) {
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
    CXmlDocument document;
    if (!CXmlDocument::ToUtf8(buffer) || !document.SetText(buffer) ||
        !document.FindNextElement("opml"))
        return Fail();
    document.EnterElement();
    // The outlines are in the body; a list without one keeps them under the root.
    if (document.FindNextElement("body"))
        document.EnterElement();
    std::vector<Outline> outlines;
    Read(document, outlines);
    uint32_t groupId = firstGroupId, channelId = firstChannelId;
    Emit(outlines, parentGroupId, groupId, channelId);
    return 1;
}

void COpmlImport::Read(CXmlDocument& document, std::vector<Outline>& into) {
    while (document.FindNextElement("outline")) {
        const std::string kind = document.GetAttribute("kind");
        Outline outline;
        outline.url = document.GetAttribute("xmlUrl");
        outline.name = document.GetAttribute("text");
        if (outline.name.empty())
            outline.name = document.GetAttribute("title");
        const bool declaredGroup = kind == "nkPath" || kind == "nkDOPML";
        // A kind of our own format that names neither a group nor a feed: not a channel.
        if (!kind.empty() && !declaredGroup && kind != "nkFeed")
            continue;
        if (!declaredGroup && (!outline.url.empty() || kind == "nkFeed")) {
            const std::wstring address = platform::Utf8ToWide(outline.url);
            if ((isNewAddress && !isNewAddress(address)) || !seen_.insert(address).second) {
                ++alreadyPresent_;
                continue;
            }
            outline.description = document.GetAttribute("description");
            outline.interval = document.GetAttribute("interval");
            outline.itemMax = document.GetAttribute("itemMax");
            outline.hasInterval = !outline.interval.empty();
            outline.hasItemMax = !outline.itemMax.empty();
            into.push_back(std::move(outline));
            continue;
        }
        // A group: declared, or a folder of outlines. An empty folder of another reader's
        // list is nothing; one whose every channel is present already is left out too.
        document.EnterElement();
        const bool encloses = document.FindNextElement("outline");
        document.LeaveElement();
        if (!declaredGroup && !encloses)
            continue;
        const size_t presentBefore = alreadyPresent_;
        document.EnterElement();
        Read(document, outline.children);
        document.LeaveElement();
        if (outline.children.empty() && alreadyPresent_ > presentBefore)
            continue;
        outline.group = true;
        into.push_back(std::move(outline));
    }
}

void COpmlImport::Emit(const std::vector<Outline>& outlines, uint32_t parentId, uint32_t& groupId,
                       uint32_t& channelId) {
    // Ids in document order, groups and channels counted apart.
    for (const Outline& outline : outlines) {
        if (outline.group) {
            const std::wstring name = platform::Utf8ToWide(outline.name);
            if (const uint32_t existing = existingGroup ? existingGroup(parentId, name) : 0) {
                Emit(outline.children, existing, groupId, channelId);
                continue;
            }
            auto record = std::make_unique<CGroup>();
            record->SetId(groupId++);
            record->SetParentId(parentId);
            record->SetName(name);
            const uint32_t id = record->GetId();
            groups_.push_back(std::move(record));
            Emit(outline.children, id, groupId, channelId);
            continue;
        }
        auto record = std::make_unique<CChannel>();
        record->SetId(channelId++);
        record->SetGroupId(parentId);
        record->SetFileStem(platform::FormatW(L"%s%d", L"rss", static_cast<int>(record->GetId())));
        record->SetName(platform::Utf8ToWide(outline.name));
        record->SetUrl(platform::Utf8ToWide(outline.url));
        if (outline.hasInterval)
            record->SetInterval(IntervalValue(outline.interval));
        if (outline.hasItemMax)
            record->SetMaxItems(ItemMaxValue(outline.itemMax));
        record->SetDescription(platform::Utf8ToWide(outline.description));
        channels_.push_back(std::move(record));
    }
}
