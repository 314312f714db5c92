#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An item as its channel page shows it: its link as the state file holds it and the texts
// of its block (inert HTML as the page holds them, in UTF-8 whatever the page's encoding).
struct IndexedItem {
    std::string link;
    std::string title;
    std::string description;
    std::string author;
    std::string date;
};

// What one update changed in the items a channel shows.
struct IndexChange {
    int64_t channelId = 0;
    bool replaceAll = false;          // none of the channel's earlier items is kept
    std::vector<IndexedItem> added;   // items the channel did not show before
    std::vector<std::string> dropped; // links of items it no longer keeps
};

// The word index over every channel's items. Told of each update, item deletion and channel
// removal; takes the calls from any thread without waiting for its own work. Each call is
// idempotent: an item already indexed is not added twice, a missing one not missed.
class ItemIndex {
public:
    virtual ~ItemIndex() = default;
    virtual void Merged(IndexChange change) = 0;
    virtual void ItemDeleted(int64_t channelId, const std::string& link) = 0;
    virtual void ChannelRemoved(int64_t channelId) = 0;
};
