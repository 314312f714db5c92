#include "opml/OpmlImport.h"

#include "catalogue/Channel.h"
#include "catalogue/DialogRules.h"
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
#include <climits>
#include <cstdlib>

// One outline kept from the list, before ids are handed out, its values as they will be
// stored. A group with an empty name gives its outlines to the level around it.
struct COpmlImport::Outline {
    bool group = false;
    std::wstring name, url, description;
    uint32_t interval = 0, itemMax = 0;
    bool hasInterval = false, hasItemMax = false;
    std::vector<Outline> children;
};

namespace {

// A whole decimal number, blanks around it allowed; false for anything else. A number too
// large for the type gives its largest value.
bool WholeNumber(const std::string& text, long long& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(begin, &end, 10);
    if (end == begin || (errno == ERANGE && value != LLONG_MAX))
        return false;
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')
        ++end;
    return *end == '\0';
}

uint32_t Bounded(const std::string& text, uint32_t low, uint32_t high, uint32_t fallback,
                 bool* changed) {
    long long value = 0;
    if (!WholeNumber(text, value) || value <= 0) {
        if (changed)
            *changed = true;
        return fallback;
    }
    const uint32_t result = value < low ? low : value > high ? high : static_cast<uint32_t>(value);
    if (changed)
        *changed = result != value;
    return result;
}

// A text as the dialogs take it: control characters become blanks (those at the ends are
// trimmed) and it is cut to the longest they allow. True when it changed.
bool Clean(std::wstring& text) {
    bool changed = false;
    if (DialogRules::HasControlCharacter(text)) {
        for (wchar_t& c : text)
            if (DialogRules::IsControlCharacter(c))
                c = L' ';
        size_t first = 0, last = text.size();
        while (first < last && DialogRules::IsBlank(text[first]))
            ++first;
        while (last > first && DialogRules::IsBlank(text[last - 1]))
            --last;
        text = text.substr(first, last - first);
        changed = true;
    }
    if (text.size() > DialogRules::kMaxText) {
        text.resize(DialogRules::kMaxText);
        changed = true;
    }
    return changed;
}

// A name the tree can show: cleaned, and empty when nothing but blanks is left. True when
// a name the list gave was changed.
bool CleanName(std::wstring& name) {
    const bool given = !name.empty();
    bool changed = Clean(name);
    if (DialogRules::IsBlankOnly(name)) {
        changed = changed || given;
        name.clear();
    }
    return changed;
}

} // namespace

COpmlImport::COpmlImport(platform::MessageTarget* frame) : frame_(frame) {}

COpmlImport::~COpmlImport() = default;

int COpmlImport::Fail() {
    if (frame_)
        frame_->Post(kMsgStatus, kStatusImportFailed, 0);
    return 0;
}

uint32_t COpmlImport::IntervalValue(const std::string& text, bool* changed) {
    return Bounded(text, DialogRules::kMinInterval, DialogRules::kMaxInterval,
                   CChannel::kDefaultInterval, changed);
}

uint32_t COpmlImport::ItemMaxValue(const std::string& text, bool* changed) {
    return Bounded(text, DialogRules::kMinItems, DialogRules::kMaxItems, CChannel::kDefaultMaxItems,
                   changed);
}

int COpmlImport::Import(const std::wstring& path, uint32_t parentGroupId, uint32_t firstGroupId,
                        uint32_t firstChannelId) {
    std::string buffer;
    const std::wstring scheme = path.substr(0, 7);
    const std::wstring secureScheme = path.substr(0, 8);
    allowHttps_ = CConfig().ReadAllowHttps() == 1;
    const bool secure = (secureScheme == L"https://" || secureScheme == L"HTTPS://") && allowHttps_;
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
        !document.FindNextElement("opml")) {
        if (document.TooDeep())
            LogPrintf(L"The xml document is nested deeper than %d levels", CXmlDocument::kMaxDepth);
        return Fail();
    }
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
        const bool declaredGroup = kind == "nkPath" || kind == "nkDOPML";
        // A kind of our own format that names neither a group nor a feed: not a channel.
        if (!kind.empty() && !declaredGroup && kind != "nkFeed")
            continue;
        Outline outline;
        const std::string url = document.GetAttribute("xmlUrl");
        std::string name = document.GetAttribute("text");
        if (name.empty())
            name = document.GetAttribute("title");
        outline.name = platform::Utf8ToWide(name);
        if (!declaredGroup && (!url.empty() || kind == "nkFeed")) {
            // The length first (at most 4 bytes a character): a huge value is not converted.
            if (url.size() <= DialogRules::kMaxText * 4)
                outline.url = platform::Utf8ToWide(url);
            if (url.size() > DialogRules::kMaxText * 4 ||
                outline.url.size() > DialogRules::kMaxText) {
                ++counts_.addressTooLong;
                continue;
            }
            if (DialogRules::HasControlCharacter(outline.url) ||
                !DialogRules::IsHttpUrl(outline.url, allowHttps_)) {
                ++counts_.notHttp;
                continue;
            }
            if ((isNewAddress && !isNewAddress(outline.url)) || !seen_.insert(outline.url).second) {
                ++counts_.alreadyPresent;
                continue;
            }
            if (CleanName(outline.name))
                ++counts_.namesCleaned;
            if (outline.name.empty())
                outline.name = outline.url; // http, no control character, short enough
            outline.description = platform::Utf8ToWide(document.GetAttribute("description"));
            if (Clean(outline.description))
                ++counts_.descriptionsCleaned;
            const std::string interval = document.GetAttribute("interval");
            const std::string itemMax = document.GetAttribute("itemMax");
            bool changed = false;
            if (!interval.empty()) {
                outline.hasInterval = true;
                outline.interval = IntervalValue(interval, &changed);
                counts_.intervalsClamped += changed ? 1 : 0;
            }
            if (!itemMax.empty()) {
                outline.hasItemMax = true;
                outline.itemMax = ItemMaxValue(itemMax, &changed);
                counts_.itemLimitsClamped += changed ? 1 : 0;
            }
            into.push_back(std::move(outline));
            continue;
        }
        // A group: declared, or a folder of outlines. An empty folder of another reader's
        // list is nothing; one whose every channel was left out is left out too.
        document.EnterElement();
        const bool encloses = document.FindNextElement("outline");
        document.LeaveElement();
        if (!declaredGroup && !encloses)
            continue;
        const ImportCounts before = counts_;
        document.EnterElement();
        Read(document, outline.children);
        document.LeaveElement();
        if (outline.children.empty() &&
            (counts_.alreadyPresent > before.alreadyPresent || counts_.notHttp > before.notHttp ||
             counts_.addressTooLong > before.addressTooLong))
            continue;
        if (CleanName(outline.name))
            ++counts_.namesCleaned;
        outline.group = true;
        into.push_back(std::move(outline));
    }
}

void COpmlImport::Emit(const std::vector<Outline>& outlines, uint32_t parentId, uint32_t& groupId,
                       uint32_t& channelId) {
    // Ids in document order, groups and channels counted apart.
    for (const Outline& outline : outlines) {
        if (outline.group) {
            if (outline.name.empty()) {
                Emit(outline.children, parentId, groupId, channelId);
                continue;
            }
            if (const uint32_t existing =
                    existingGroup ? existingGroup(parentId, outline.name) : 0) {
                Emit(outline.children, existing, groupId, channelId);
                continue;
            }
            auto record = std::make_unique<CGroup>();
            record->SetId(groupId++);
            record->SetParentId(parentId);
            record->SetName(outline.name);
            const uint32_t id = record->GetId();
            groups_.push_back(std::move(record));
            Emit(outline.children, id, groupId, channelId);
            continue;
        }
        auto record = std::make_unique<CChannel>();
        record->SetId(channelId++);
        record->SetGroupId(parentId);
        record->SetFileStem(platform::FormatW(L"%s%d", L"rss", static_cast<int>(record->GetId())));
        record->SetName(outline.name);
        record->SetUrl(outline.url);
        if (outline.hasInterval)
            record->SetInterval(outline.interval);
        if (outline.hasItemMax)
            record->SetMaxItems(outline.itemMax);
        record->SetDescription(outline.description);
        channels_.push_back(std::move(record));
    }
}
