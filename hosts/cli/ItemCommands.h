#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CChannel;
class Session;

// The commands on a channel's items: page (where the channel page is), mark (sets an
// item's read or flag mark, or deletes it, as a click in the page would) and mark-read
// (every item of channels, groups or the catalogue read).
class ItemCommands {
public:
    using Args = std::vector<std::string>;

    static int Page(Session& session, const Args& args);
    static int Mark(Session& session, const Args& args);
    static int MarkRead(Session& session, const Args& args);

private:
    // The first four bytes of the item's line in the state file ("F" and the read, flag
    // and deleted marks); false when there are none.
    static bool StateMarks(Session& session, CChannel* channel, uint32_t item, std::string& marks);
};
