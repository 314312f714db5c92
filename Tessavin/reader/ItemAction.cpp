#include "reader/ItemAction.h"

#include "catalogue/Channel.h"
#include "catalogue/ChannelFiles.h"
#include "catalogue/ItemIndex.h"
#include "config/LogFile.h"
#include "engine/ChannelUpdater.h"
#include "engine/ItemStateFile.h"
#include "engine/ItemText.h"
#include "engine/PageWriter.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/MessageTarget.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

// A signed decimal number at pos, up to `end` (exclusive): true when the whole range is one.
bool ParseInteger(const std::string& s, size_t begin, size_t end, int64_t& value) {
    if (begin >= end || end - begin > 11)
        return false;
    size_t i = begin;
    bool negative = false;
    if (s[i] == '-') {
        negative = true;
        if (++i == end)
            return false;
    }
    int64_t v = 0;
    for (; i < end; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

// "G,C,N" exactly.
bool ParseTriple(const std::string& s, size_t begin, size_t end, ItemCall& call) {
    size_t c1 = s.find(',', begin);
    if (c1 == std::string::npos || c1 >= end)
        return false;
    size_t c2 = s.find(',', c1 + 1);
    if (c2 == std::string::npos || c2 >= end)
        return false;
    int64_t item = 0;
    if (!ParseInteger(s, begin, c1, call.groupId) || !ParseInteger(s, c1 + 1, c2, call.channelId) ||
        !ParseInteger(s, c2 + 1, end, item) || item <= 0 || item > 0x7FFFFFFF)
        return false;
    call.item = static_cast<uint32_t>(item);
    return true;
}

const char kPrefix[] = "javascript:";

// Four hex digits at pos.
bool HexUnit(const std::string& s, size_t pos, uint32_t& unit) {
    if (pos + 4 > s.size())
        return false;
    unit = 0;
    for (size_t k = pos; k < pos + 4; ++k) {
        const int digit = platform::HexDigitValue(s[k]);
        if (digit < 0)
            return false;
        unit = unit * 16 + static_cast<uint32_t>(digit);
    }
    return true;
}

// A single-quoted script string literal starting at `open` (the quote): its value, and in
// `end` the position after the closing quote. Escapes: \\, \', \", \xHH, \uXXXX and \n, \r, \t.
bool ParseStringLiteral(const std::string& s, size_t open, std::string& value, size_t& end) {
    if (open >= s.size() || s[open] != '\'')
        return false;
    value.clear();
    for (size_t i = open + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\'') {
            end = i + 1;
            return true;
        }
        if (c == '\n' || c == '\r')
            return false; // a line end cannot stand inside a literal
        if (c != '\\') {
            value.push_back(c);
            continue;
        }
        if (++i >= s.size())
            return false;
        switch (s[i]) {
        case 'n':
            value.push_back('\n');
            break;
        case 'r':
            value.push_back('\r');
            break;
        case 't':
            value.push_back('\t');
            break;
        case 'x': {
            int high, low;
            if (i + 2 >= s.size() || (high = platform::HexDigitValue(s[i + 1])) < 0 ||
                (low = platform::HexDigitValue(s[i + 2])) < 0)
                return false;
            value.push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        case 'u': {
            // A UTF-16 code unit; a surrogate pair makes one character.
            uint32_t unit = 0;
            if (!HexUnit(s, i + 1, unit))
                return false;
            i += 4;
            if (unit >= 0xD800 && unit < 0xDC00 && i + 6 < s.size() && s[i + 1] == '\\' &&
                s[i + 2] == 'u') {
                uint32_t low = 0;
                if (HexUnit(s, i + 3, low) && low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
            }
            platform::AppendUtf8(value, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
            break;
        }
        default:
            value.push_back(s[i]); // \\, \', \" and any other character stand for themselves
        }
    }
    return false;
}

} // namespace

ItemCall ItemAction::Parse(const std::string& encoded) {
    ItemCall call;
    ItemCall none;
    // The address as the page's attribute holds it; the browser percent-decodes it first.
    const std::string address = platform::PercentDecode(encoded);
    const size_t prefix = sizeof kPrefix - 1;
    if (address.compare(0, prefix, kPrefix) != 0)
        return none;
    static const char kRead[] = "go_read('025212A0',";
    if (address.compare(prefix, sizeof kRead - 1, kRead) == 0) {
        // go_read('025212A0',G,C,N,'link'): the link is a script string literal.
        size_t args = prefix + sizeof kRead - 1;
        size_t quote = address.find(",'", args);
        if (quote == std::string::npos || !ParseTriple(address, args, quote, call))
            return none;
        size_t end = 0;
        if (!ParseStringLiteral(address, quote + 1, call.link, end) || end + 1 != address.size() ||
            address[end] != ')')
            return none;
        // The links that are opened are the ones that mark read.
        call.carriesLink = WebAddress::IsWebLink(call.link);
        call.action = ItemCall::kRead;
        return call;
    }
    struct Form {
        const char* name;
        ItemCall::Action action;
    };
    for (const Form& form :
         {Form{"go_flag(", ItemCall::kFlag}, Form{"go_delete(", ItemCall::kDelete}}) {
        size_t nameLength = std::strlen(form.name);
        if (address.compare(prefix, nameLength, form.name) != 0)
            continue;
        if (address.back() != ')')
            return none;
        if (!ParseTriple(address, prefix + nameLength, address.size() - 1, call))
            return none;
        call.action = form.action;
        return call;
    }
    return none;
}

bool ItemAction::OnNavigate(const std::wstring& address, CChannel& channel,
                            const std::wstring& dataFolder, platform::MessageTarget* view,
                            ILinkOpener* opener, const std::string* itemLink, ItemIndex* index) {
    bool applied = false;
    if (address.find(L"go_read") != std::wstring::npos ||
        address.find(L"go_flag") != std::wstring::npos ||
        address.find(L"go_delete") != std::wstring::npos)
        applied = HandleItemAction(address, channel, dataFolder, view, itemLink, index);
    if (address.find(L"go_read") == std::wstring::npos || !opener)
        return applied;
    ItemCall call = Parse(platform::WideToUtf8(address));
    // Only a web address is opened: a script or local link (even one that names an http
    // address inside) never is.
    if (call.action != ItemCall::kRead || !WebAddress::IsWebLink(call.link))
        return applied;
    const std::wstring link = platform::Utf8ToWide(call.link);
    if (opener->OpenPage(link.substr(0, 12) + L"...", link) == 0)
        LogPrintf(L"Failed to create ie view");
    return applied;
}

bool ItemAction::HandleItemAction(const std::wstring& address, CChannel& channel,
                                  const std::wstring& dataFolder, platform::MessageTarget* view,
                                  const std::string* itemLink, ItemIndex* index) {
    return Apply(Parse(platform::WideToUtf8(address)), channel, dataFolder, view, itemLink, index);
}

bool ItemAction::Apply(const ItemCall& call, CChannel& channel, const std::wstring& dataFolder,
                       platform::MessageTarget* view, const std::string* itemLink,
                       ItemIndex* index) {
    if (call.action == ItemCall::kNone ||
        call.channelId != static_cast<int64_t>(static_cast<int32_t>(channel.GetId())))
        return false;
    const ChannelFiles files(dataFolder, channel);
    platform::File state;
    std::string content;
    if (!ItemStateFile::OpenHeld(state, files.State(), content))
        return false;
    size_t start = 0, end = 0;
    if (!ItemStateFile::FindLine(content, call.item, start, end) || end - start < 4)
        return false; // no such line
    const char current = content[start + call.action];
    const char oldReadMark = content[start + 1];
    // A title click always marks read; otherwise the mark toggles (a non-digit reads as 0).
    // Delete only ever sets its mark, and only for an item whose block the page still has:
    // a second call for it changes nothing.
    int newState = call.carriesLink ? 1 : (current >= '1' && current <= '9' ? 0 : 1);
    if (call.action == ItemCall::kDelete || itemLink) {
        std::string page;
        if (!platform::ReadWholeFile(files.Page(), page))
            return false;
        // A page written before the last update may number its items otherwise: the call
        // names the item it was written for, and line N must still be that item.
        if (itemLink) {
            std::string stored = end - start > 7 ? content.substr(start + 7, end - start - 7) : "";
            stored.erase(std::remove(stored.begin(), stored.end(), '\r'), stored.end());
            const bool native = page.compare(0, 3, "\xEF\xBB\xBF") != 0;
            if (ItemText::LinkValue(stored, native) != *itemLink) {
                LogPrintf(L"Item %d of channel %s is another one than its page shows",
                          static_cast<int>(call.item), channel.GetName().c_str());
                return false;
            }
        }
        if (call.action == ItemCall::kDelete &&
            (newState == 0 || page.find("<DIV class = gn_stories id=" + std::to_string(call.item) +
                                        "_contentdiv>") == std::string::npos))
            return false;
    }
    char marks[4];
    std::memcpy(marks, content.data() + start, 4);
    marks[call.action] = static_cast<char>('0' + newState);
    const char newReadMark = marks[1];
    // The reader's own mark goes through to the disk.
    if (!state.Seek(static_cast<int64_t>(start)) || !state.Write(marks, 4) || !state.Flush()) {
        LogPrintf(L"Failed open flgfile!");
        return false;
    }
    state.Close();
    const bool changed = UpdatePageForItem(files.Page(), call.item, call.action, call.carriesLink,
                                           oldReadMark, newReadMark, newState, channel, view);
    if (changed && index && call.action == ItemCall::kDelete && end - start > 7)
        index->ItemDeleted(call.channelId, ItemStateFile::WithoutLineBreaks(
                                               content.substr(start + 7, end - start - 7)));
    return changed;
}

bool ItemAction::UpdatePageForItem(const std::wstring& pagePath, uint32_t item,
                                   ItemCall::Action action, bool carriesLink, char oldReadMark,
                                   char newReadMark, int newState, CChannel& channel,
                                   platform::MessageTarget* view) {
    if (platform::FileSize(pagePath) < 0) {
        LogPrintf(L"Failed to get the file Infomation!\nPelease checked the file!");
        return false;
    }
    platform::File page;
    std::string buffer;
    if (!page.Open(pagePath,
                   platform::File::kRead | platform::File::kWrite | platform::File::kExclusive) ||
        !page.ReadToEnd(buffer) || buffer.empty())
        return false;
    const auto lParam = reinterpret_cast<platform::LParam>(&channel);
    if (action == ItemCall::kRead || action == ItemCall::kFlag) {
        // A title click counts only an item that was unread.
        if (action == ItemCall::kRead && view && (!carriesLink || oldReadMark == '0'))
            view->Post(kMsgItemReadChanged,
                       !carriesLink ? static_cast<platform::WParam>(newState) : 1, lParam);
        const bool changed = PatchMark(buffer, item, action, newState);
        // Same length: written back in place.
        if (changed && (!page.Seek(0) || !page.Write(buffer))) {
            LogPrintf(L"Failed open flgfile!");
            return false;
        }
        return changed;
    }
    if (action != ItemCall::kDelete)
        return false;
    bool wasLast = false;
    if (!RemoveItem(buffer, item, channel.GetTotalCount(), wasLast))
        return false;
    // Replace the page whole while holding it, so it is never left half-written.
    if (!platform::ReplaceFileContent(pagePath, buffer)) {
        LogPrintf(L"Failed open flgfile!");
        return false;
    }
    if (wasLast)
        channel.SetLastBuildDate(std::string());
    if (view)
        view->Post(kMsgItemDeleted, newReadMark == '0' ? 0 : 1, lParam);
    return true;
}

bool ItemAction::PatchMark(std::string& page, uint32_t item, ItemCall::Action action,
                           int newState) {
    const std::string n = std::to_string(item);
    auto overwrite = [&page](const std::string& marker, const char* text, size_t length) {
        size_t pos = page.find(marker);
        if (pos == std::string::npos)
            return false;
        page.replace(pos + marker.size(), length, text, length);
        return true;
    };
    if (action == ItemCall::kFlag)
        return overwrite("<IMG class=icon id=" + n + "_flag src=\"HtmlStyle/",
                         newState ? "flaged.gif" : "unflag.gif", 10);
    bool changed = overwrite("<IMG class=icon id=" + n + "_read src=\"HtmlStyle/",
                             newState ? "readed.gif" : "unread.gif", 10);
    changed |= overwrite("name=" + n + "_title><font class='title_",
                         newState ? "readed'>" : "unread'>", 8);
    return changed;
}

bool ItemAction::RemoveItem(std::string& page, uint32_t item, uint32_t total, bool& wasLast) {
    static const std::string kBlock = "<DIV class = gn_stories id=";
    const size_t first = page.find(kBlock);
    const std::string own = kBlock + std::to_string(item) + "_contentdiv>";
    const size_t block = page.find(own);
    if (block == std::string::npos)
        return false;
    const size_t next = page.find(kBlock, block + own.size());
    // The page's only item: the empty page.
    wasLast = next == std::string::npos && block == first;
    if (wasLast) {
        page = PageWriter::kEmptyPage;
        return true;
    }
    std::string out = page.substr(0, block);
    PageWriter::PatchTotal(out, static_cast<long>(total) - 1);
    if (next != std::string::npos)
        out.append(page, next, std::string::npos);
    else
        out += PageWriter::kClosingText;
    page.swap(out);
    return true;
}
