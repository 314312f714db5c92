#pragma once

#include <string>

// Where a feed says its site and its icon are: absolute http or https addresses, or empty.
// Both are empty when the update read no document (the server answered 304).
struct FeedAddresses {
    std::string site; // the site's home page (RSS channel link, Atom alternate link)
    std::string icon; // the feed's own image or icon

    bool Empty() const { return site.empty() && icon.empty(); }
};
