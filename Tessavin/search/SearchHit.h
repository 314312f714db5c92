#pragma once

#include "catalogue/ItemIndex.h"

#include <cstdint>

// One item a search found, with the texts its channel page shows.
struct SearchHit {
    int64_t channelId = 0;
    IndexedItem item;
};
