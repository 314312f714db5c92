#pragma once

#include "engine/FeedDocument.h"
#include "engine/RssDocument.h"

#include <string>
#include <vector>

// A JSON Feed (versions 1 and 1.1): a top-level object whose "version" names the format and
// whose "items" is an array. Items come out as the fields the other readers give, in UTF-8
// HTML: plain texts escaped, content_html kept as markup for the tag check and the
// sanitiser, addresses resolved against the document's address, dates as RFC 822 texts in
// GMT where they could be read. Members of the wrong type are passed over one by one.
class JsonFeedDocument {
public:
    using Status = FeedDocument::Status;

    // Nesting deeper than this many arrays and objects is refused.
    static constexpr size_t kMaxDepth = 64;

    // Whether the text's first byte but blanks (after a UTF-8 byte-order mark) is '{'.
    static bool LooksLikeJson(const std::string& text);

    // documentUrl: what relative addresses are resolved against. A document cut off in
    // transfer (its parse fails at the end of the text) is kIncomplete; any other JSON that
    // does not parse, is nested too deep or is no JSON Feed is kNotAFeed. Items past the
    // first maxItems are passed over unread.
    Status Read(const std::string& text, const std::string& documentUrl,
                size_t maxItems = static_cast<size_t>(-1));
    // "fnv1a64:" + the digest of the document: the format has no date of its own.
    const std::string& BuildDate() const { return buildDate_; }
    std::vector<ItemFields>& Items() { return items_; }
    // The feed's home_page_url, and its favicon else its icon: http and https addresses
    // only, relative ones resolved; empty otherwise.
    const std::string& HomePage() const { return homePage_; }
    const std::string& Icon() const { return icon_; }

private:
    std::string buildDate_;
    std::vector<ItemFields> items_;
    std::string homePage_;
    std::string icon_;
};
