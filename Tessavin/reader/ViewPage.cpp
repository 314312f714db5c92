#include "reader/ViewPage.h"

#include "catalogue/CatalogueModel.h"
#include "catalogue/Channel.h"
#include "engine/ItemStateFile.h"
#include "engine/ItemText.h"
#include "engine/PageWriter.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

namespace {

bool Digits(const std::string& s, size_t pos, size_t count) {
    if (pos > s.size() || count > s.size() - pos)
        return false;
    for (size_t i = pos; i < pos + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

// "HH:MM[:SS]" at pos as "HHMMSS"; "000000" when absent.
std::string TimeKey(const std::string& s, size_t pos) {
    if (!Digits(s, pos, 2) || pos + 2 >= s.size() || s[pos + 2] != ':' || !Digits(s, pos + 3, 2))
        return "000000";
    std::string key = s.substr(pos, 2) + s.substr(pos + 3, 2);
    key += pos + 5 < s.size() && s[pos + 5] == ':' && Digits(s, pos + 6, 2) ? s.substr(pos + 6, 2)
                                                                            : "00";
    return key;
}

// Newest first by their shown dates (entries without one last); equal ones keep their order.
// At most `limit`.
std::vector<ViewEntry> NewestFirst(std::vector<ViewEntry> entries, size_t limit) {
    std::vector<std::pair<std::string, size_t>> keys;
    keys.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        keys.emplace_back(ViewPage::DateKey(entries[i].shown.item.date), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<ViewEntry> sorted;
    sorted.reserve(std::min(keys.size(), limit));
    for (size_t i = 0; i < keys.size() && i < limit; ++i)
        sorted.push_back(std::move(entries[keys[i].second]));
    return sorted;
}

} // namespace

const wchar_t* ViewPage::FileName(Kind kind) {
    switch (kind) {
    case Kind::kUnread:
        return L"unread.html";
    case Kind::kFlagged:
        return L"flagged.html";
    default:
        return L"search.html";
    }
}

std::string ViewPage::DateKey(const std::string& date) {
    size_t start = date.find_first_not_of(" \t");
    if (start == std::string::npos)
        return std::string();
    // "2026-12-06 10:00:00" (as pages show RFC 822 dates) and ISO 8601.
    if (Digits(date, start, 4) && start + 10 <= date.size() && date[start + 4] == '-' &&
        Digits(date, start + 5, 2) && date[start + 7] == '-' && Digits(date, start + 8, 2))
        return date.substr(start, 4) + date.substr(start + 5, 2) + date.substr(start + 8, 2) +
               TimeKey(date, start + 11);
    // "[Sun, ]6 Dec 2026 10:00:00 ...".
    size_t pos = date.find(',', start);
    pos = pos == std::string::npos ? start : date.find_first_not_of(' ', pos + 1);
    if (pos == std::string::npos)
        return std::string(); // nothing after the comma
    size_t dayLength = 0;
    while (Digits(date, pos + dayLength, 1) && dayLength < 2)
        ++dayLength;
    if (dayLength == 0 || pos + dayLength + 9 > date.size())
        return std::string();
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::string month = date.substr(pos + dayLength + 1, 3);
    const char* found = month.size() == 3 ? std::strstr(kMonths, month.c_str()) : nullptr;
    const size_t yearAt = pos + dayLength + 5;
    if (!found || (found - kMonths) % 3 != 0 || !Digits(date, yearAt, 4))
        return std::string();
    const int monthNumber = static_cast<int>((found - kMonths) / 3) + 1;
    std::string key = date.substr(yearAt, 4);
    key += static_cast<char>('0' + monthNumber / 10);
    key += static_cast<char>('0' + monthNumber % 10);
    key += dayLength == 1 ? "0" + date.substr(pos, 1) : date.substr(pos, 2);
    return key + TimeKey(date, yearAt + 5);
}

std::vector<ViewEntry> ViewPage::Collect(const CatalogueModel& model, Kind kind) {
    std::vector<ViewEntry> entries;
    auto wanted = [kind](const StateRecord& r) {
        return kind == Kind::kUnread ? r.readMark == '0' : r.flagMark != '0';
    };
    for (CChannel* channel : ChannelItems::InTreeOrder(model.TopLevel()))
        for (ShownItem& shown : ChannelItems::Read(model.FilesOf(channel), wanted))
            entries.push_back(ViewEntry{channel, std::move(shown)});
    return NewestFirst(std::move(entries), kMaxItems);
}

std::vector<ViewEntry> ViewPage::Resolve(const CatalogueModel& model,
                                         const std::vector<SearchHit>& hits) {
    // Each channel's state file read once: its live items by link (the first one not deleted).
    struct Live {
        uint32_t number;
        bool read, flagged;
    };
    std::unordered_map<int64_t, std::unordered_map<std::string, Live>> states;
    std::unordered_map<int64_t, bool> native;
    std::vector<ViewEntry> entries;
    for (const auto& [channelId, item] : hits) {
        CChannel* channel =
            channelId > 0 ? model.FindChannel(static_cast<uint32_t>(channelId)) : nullptr;
        if (!channel)
            continue;
        auto state = states.find(channelId);
        if (state == states.end()) {
            state = states.emplace(channelId, std::unordered_map<std::string, Live>()).first;
            const ChannelFiles files = model.FilesOf(channel);
            std::string content, head;
            if (platform::ReadWholeFile(files.State(), content)) {
                const std::vector<StateRecord> records = ItemStateFile::Parse(content);
                for (size_t i = 0; i < records.size(); ++i)
                    if (records[i].usable && records[i].deletedMark != '1')
                        state->second.emplace(records[i].link, Live{static_cast<uint32_t>(i + 1),
                                                                    records[i].readMark != '0',
                                                                    records[i].flagMark != '0'});
            }
            platform::File page;
            char bom[3] = {0, 0, 0};
            native[channelId] =
                !(page.Open(files.Page(), platform::File::kRead) && page.Read(bom, 3) == 3 &&
                  std::memcmp(bom, "\xEF\xBB\xBF", 3) == 0);
        }
        auto live = state->second.find(item.link);
        if (live == state->second.end())
            continue;
        ViewEntry entry{channel, ShownItem{}};
        entry.shown.number = live->second.number;
        entry.shown.read = live->second.read;
        entry.shown.flagged = live->second.flagged;
        entry.shown.item = item;
        entry.shown.linkValue = ItemText::LinkValue(item.link, native[channelId]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string ViewPage::Write(const std::vector<ViewEntry>& entries) {
    PageWriter writer(PageEncoding::kUtf8, entries.size() * 2048);
    uint32_t id = 0;
    for (const ViewEntry& e : entries) {
        PageItemTexts texts{e.shown.item.title, e.shown.item.description, e.shown.item.author,
                            e.shown.item.date};
        writer.AppendViewItem(++id, e.shown.number, static_cast<int32_t>(e.channel->GetGroupId()),
                              static_cast<int32_t>(e.channel->GetId()), e.shown.linkValue, texts,
                              e.shown.read, e.shown.flagged,
                              platform::WideToUtf8(e.channel->GetName()));
    }
    return writer.Finish(id);
}

bool ViewPage::ShowsAsStored(const std::string& view, const ItemCall& call,
                             const std::string& state, uint32_t& block, bool& shown) {
    if (call.action != ItemCall::kRead && call.action != ItemCall::kFlag)
        return false;
    // The item's icon: its call, then the block's number and the icon's image.
    const std::string ids = std::to_string(call.groupId) + "," + std::to_string(call.channelId) +
                            "," + std::to_string(call.item);
    const bool flag = call.action == ItemCall::kFlag;
    const std::string icon =
        (flag ? "go_flag(" + ids + ")" : "go_read('025212A0'," + ids + ",'')") +
        "\"><IMG class=icon id=";
    size_t at = view.find(icon);
    if (at == std::string::npos)
        return false;
    at += icon.size();
    const size_t digits = view.find_first_not_of("0123456789", at);
    const std::string image = flag ? "_flag src=\"HtmlStyle/" : "_read src=\"HtmlStyle/";
    if (digits == at || digits == std::string::npos || digits - at > 9 ||
        view.compare(digits, image.size(), image) != 0)
        return false;
    block = static_cast<uint32_t>(std::stoul(view.substr(at, digits - at)));
    shown = view.compare(digits + image.size(), 10, flag ? "flaged.gif" : "readed.gif") == 0;
    size_t start = 0, end = 0;
    if (!ItemStateFile::FindLine(state, call.item, start, end) || end - start < 4)
        return false;
    const char mark = state[start + call.action];
    return call.carriesLink || (mark >= '1' && mark <= '9') == shown;
}
