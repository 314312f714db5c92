#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A feed that a web page names in its head.
struct DiscoveredFeed {
    std::string title; // plain text (control and bidirectional characters as blanks), may be empty
    std::string url;   // absolute http or https address
    std::string type;  // the lower-case media type, without parameters
};

// Reads the feeds a web page names: its <link rel="alternate"> elements of a feed's media
// type, addressed against the page's address and its first <base href>; a page that declares
// an encoding other than UTF-8 in a <meta> element (or, without one, in the Content-Type
// it came with) is read in it. The page is hostile
// input: only its first kMaxPageBytes are read, the parse stops at a nesting depth that no
// page needs, and the walk looks at kMaxLinks link elements and keeps kMaxFeeds feeds.
class FeedDiscovery {
public:
    static constexpr size_t kMaxPageBytes = 4u << 20;
    static constexpr size_t kMaxDepth = 256;
    static constexpr size_t kMaxLinks = 1000;
    // Start tags past this many are not parsed: a page names its feeds in its head, and
    // every node costs the parser memory.
    static constexpr size_t kMaxTags = 50000;
    static constexpr size_t kMaxFeeds = 100;
    static constexpr size_t kMaxTitle = 260;    // characters, as the dialogs take
    static constexpr size_t kMaxAddress = 2048; // bytes; longer addresses are left out

    // The page's feeds in document order, each address once. pageAddress: where the page
    // came from, after redirects; contentType: the response's Content-Type (may be empty).
    static std::vector<DiscoveredFeed> Find(const std::string& page, const std::string& pageAddress,
                                            const std::string& contentType = std::string());
    // Whether the media type (any case, parameters ignored) is a feed's.
    static bool IsFeedType(const std::string& type);
    // The start of the page that the parser reads: its head (see PageHead), cut also where
    // elements would open deeper than kMaxDepth (estimated from the text alone, see
    // MarkupDepth), at the kMaxTags-th start tag or at kMaxPageBytes.
    static size_t ParsedLength(const std::string& page);
};
