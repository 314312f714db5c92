#pragma once

#include "catalogue/ItemIndex.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CChannel;
class CatalogueModel;
struct CatalogueNode;
struct ChannelFiles;
struct StateRecord;

// An item a channel page shows, as its files hold it.
struct ShownItem {
    uint32_t number = 0; // its line in the state file
    bool read = false;
    bool flagged = false;
    IndexedItem item;      // the state file's link and the page's texts in UTF-8
    std::string linkValue; // the link as the page's call gives it (UTF-8)
};

// Reads the items of channels from their state files and pages. Files are read as they
// are, without taking them from an update: each is replaced whole, never half-written.
class ChannelItems {
public:
    // The channel's items that are not deleted and that `wanted` picks by their marks (all
    // when empty), in state file order; the page is read only when some are picked.
    static std::vector<ShownItem> Read(const ChannelFiles& files,
                                       const std::function<bool(const StateRecord&)>& wanted = {});
    // The channels of the nodes and everything under them, in tree order.
    static std::vector<CChannel*> InTreeOrder(const std::vector<CatalogueNode*>& nodes);

    using Emit = std::function<void(IndexChange&&)>;
    // What the word index is rebuilt from: the catalogue's channels as they are now (ids and
    // files, not the records), each channel's shown items emitted as one change that replaces
    // all of its earlier ones. The result may run on another thread.
    static std::function<void(const Emit&)> IndexSource(const CatalogueModel& model);
};
