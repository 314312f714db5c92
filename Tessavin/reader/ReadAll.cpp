#include "reader/ReadAll.h"

#include "catalogue/CatalogueModel.h"
#include "catalogue/Channel.h"
#include "catalogue/ChannelFiles.h"
#include "config/LogFile.h"
#include "engine/ItemStateFile.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "reader/ChannelItems.h"

#include <cstring>

namespace {

// Sets every read mark of the state file's lines that are long enough to hold one; true
// when any changed. Deleted items keep their marks.
bool MarkLines(std::string& state) {
    bool changed = false;
    size_t start = 0;
    while (start < state.size()) {
        size_t end = state.find('\n', start);
        if (end == std::string::npos)
            end = state.size();
        if (end - start >= 4 && state[start + 3] != '1' && state[start + 1] != '1') {
            state[start + 1] = '1';
            changed = true;
        }
        start = end + 1;
    }
    return changed;
}

} // namespace

bool ReadAll::PatchPage(std::string& page) {
    // The writer's own markers: feed text never holds them (the sanitiser breaks them up).
    static const char kIcon[] = "<IMG class=icon id=";
    static const char kUnreadIcon[] = "_read src=\"HtmlStyle/unread.gif\"";
    static const char kUnreadTitle[] = "<font class='title_unread'>";
    bool changed = false;
    for (size_t pos = page.find(kIcon); pos != std::string::npos; pos = page.find(kIcon, pos)) {
        pos += sizeof kIcon - 1;
        while (pos < page.size() && page[pos] >= '0' && page[pos] <= '9')
            ++pos;
        // "unread.gif" ends before the closing quote.
        if (page.compare(pos, sizeof kUnreadIcon - 1, kUnreadIcon) == 0) {
            std::memcpy(&page[pos + sizeof kUnreadIcon - 12], "readed.gif", 10);
            changed = true;
        }
    }
    for (size_t pos = page.find(kUnreadTitle); pos != std::string::npos;
         pos = page.find(kUnreadTitle, pos)) {
        std::memcpy(&page[pos + sizeof kUnreadTitle - 9], "readed'>", 8);
        changed = true;
    }
    return changed;
}

ReadAll::Result ReadAll::MarkChannel(CChannel& channel, const std::wstring& dataFolder,
                                     bool flush) {
    if (channel.IsUpdating())
        return Result::kUpdating;
    const ChannelFiles files(dataFolder, channel);
    if (!platform::PathExists(files.State()))
        return Result::kUnchanged; // never updated: nothing to mark
    platform::File state;
    std::string content;
    // Held as an item action holds it: an update cannot start its merge now.
    if (!ItemStateFile::OpenHeld(state, files.State(), content))
        return channel.IsUpdating() ? Result::kUpdating : Result::kFailed;
    if (!MarkLines(content))
        return Result::kUnchanged;
    std::string page;
    platform::File pageFile;
    const bool pageExists = platform::PathExists(files.Page());
    if (pageExists && (!pageFile.Open(files.Page(), platform::File::kRead | platform::File::kWrite |
                                                        platform::File::kExclusive) ||
                       !pageFile.ReadToEnd(page))) {
        LogPrintf(L"Failed to create channel file for channel %s", channel.GetName().c_str());
        return Result::kFailed;
    }
    // As an item action writes: every mark keeps its length, so both files are written
    // over in place, the state file first; whatever stops the writes leaves whole lines and
    // whole icons, some marked and some not.
    const bool pageChanged = pageExists && PatchPage(page);
    if (!state.Seek(0) || !state.Write(content) || (flush && !state.Flush()) ||
        (pageChanged &&
         (!pageFile.Seek(0) || !pageFile.Write(page) || (flush && !pageFile.Flush())))) {
        LogPrintf(L"Failed open flgfile!");
        return Result::kFailed;
    }
    return Result::kMarked;
}

ReadAll::Report ReadAll::MarkNode(CatalogueModel& model, CatalogueNode* node) {
    const std::vector<CChannel*> channels =
        ChannelItems::InTreeOrder(node ? std::vector<CatalogueNode*>{node} : model.TopLevel());
    Report report;
    report.channels = channels.size();
    const bool one = channels.size() == 1;
    for (CChannel* channel : channels) {
        const Result result = MarkChannel(*channel, model.DataFolder(), one);
        if (result == Result::kUpdating || result == Result::kFailed) {
            LogPrintf(L"Can't mark channel %s read: %s", channel->GetName().c_str(),
                      platform::Utf8ToWide(Reason(result)).c_str());
            report.refused.push_back({channel, result});
            continue;
        }
        uint32_t unread = 0, total = 0;
        channel->GetCounts(unread, total);
        if (result == Result::kUnchanged && unread == 0)
            continue;
        ++report.marked;
        channel->SetCounts(0, total);
        model.ShowNewText(channel);
        if (result == Result::kMarked)
            model.Observer().ReloadPageOfChannel(channel);
    }
    if (report.marked > 0 && !one && !platform::SyncFileSystem(model.DataFolder()))
        LogPrintf(L"Failed to flush the marks to the disk");
    if (report.marked > 0)
        model.SaveChannelsSoon();
    return report;
}

const char* ReadAll::Reason(Result result) {
    switch (result) {
    case Result::kUpdating:
        return "the channel is being updated";
    case Result::kFailed:
        return "its files cannot be written";
    default:
        return "";
    }
}
