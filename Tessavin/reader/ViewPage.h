#pragma once

#include "reader/ChannelItems.h"
#include "reader/ItemAction.h"
#include "search/SearchHit.h"

#include <cstdint>
#include <string>
#include <vector>

class CChannel;
class CatalogueModel;

// An item of a view across channels, with the channel it belongs to.
struct ViewEntry {
    CChannel* channel = nullptr;
    ShownItem shown;
};

// The pages that gather items of every channel (the unread items, the flagged items, the
// results of a search), written in the channel pages' style. Each item's icons call its own
// channel and number and name its link, so that an action from the view goes to the
// channel's files under the same identity check as one from the channel's page.
class ViewPage {
public:
    enum class Kind { kUnread, kFlagged, kSearch };
    static const size_t kMaxItems = 1000;
    static const size_t kMaxSearchHits = 200;

    // The view's file in the data folder: "unread.html", "flagged.html", "search.html".
    static const wchar_t* FileName(Kind kind);
    // The unread or the flagged items of every channel, newest first (items whose date is
    // not known last, then in tree and page order), at most kMaxItems.
    static std::vector<ViewEntry> Collect(const CatalogueModel& model, Kind kind);
    // Search hits as their channels' state files hold the items now, in hit order (the
    // index's: the items that came last first, so that a limit keeps the newest); hits whose
    // item is gone or deleted are left out.
    static std::vector<ViewEntry> Resolve(const CatalogueModel& model,
                                          const std::vector<SearchHit>& hits);
    // The page (UTF-8).
    static std::string Write(const std::vector<ViewEntry>& entries);
    // A view shows marks as they were when it was written. A read or flag call of a view acts
    // on what the view shows when the view names the call's item (its block in `block`, the
    // mark it shows in `shown`) and the state file holds that mark too (a title's read call
    // only needs the item). False for a view older than the files.
    static bool ShowsAsStored(const std::string& view, const ItemCall& call,
                              const std::string& state, uint32_t& block, bool& shown);
    // A shown date as "YYYYMMDDHHMMSS" (ISO 8601 and RFC 822 forms); empty when unknown.
    static std::string DateKey(const std::string& date);
};
