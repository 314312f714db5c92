#pragma once

#include <string>

struct DiscoveredFeed;
class Session;

// How add-channel shows the feeds a web page names: the address, then the title in quotes
// when there is one, as terminal lines (the page's text is hostile).
class FoundFeeds {
public:
    static std::string Line(const DiscoveredFeed& feed);
    // add-channel URL --list-feeds: the feeds of the address, one a line (a feed's own
    // address when it is one); nothing is added. Refuses when there are none.
    static int List(Session& session, const std::string& url);
};
