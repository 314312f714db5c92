#pragma once

#include "engine/RssDocument.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Feeds in the formats that the RSS 2.0 reading refuses, read with the XML reader: Atom 1.0,
// RSS 1.0 (and the RDF-based RSS 0.90) and RSS 0.91/0.92. Elements are matched by namespace
// URI and local name, never by prefix. Items come out as the same fields the RSS 2.0
// reading gives, in UTF-8, with texts as HTML: plain text escaped, markup (html and xhtml
// content) kept for the tag check and the sanitiser, links resolved against xml:base and
// the document's address, dates as RFC 822 texts in GMT where they could be read.
class FeedDocument {
public:
    FeedDocument();
    ~FeedDocument();
    FeedDocument(const FeedDocument&) = delete;
    FeedDocument& operator=(const FeedDocument&) = delete;

    enum class Status {
        kNotAFeed,   // none of the formats
        kIncomplete, // starts as one of them but is not well-formed (cut off in transfer)
        kRead
    };

    // documentUrl: what relative links are resolved against. Items past the first maxItems
    // are passed over unread. The document stays parsed: its items are read on request.
    Status Read(const std::string& text, const std::string& documentUrl,
                size_t maxItems = static_cast<size_t>(-1));
    // The feed's own date (Atom updated, RSS 1.0 dc:date, RSS 0.9x lastBuildDate, else its
    // first pubDate); without one "fnv1a64:" + the digest of the document, as for RSS 2.0.
    const std::string& BuildDate() const { return buildDate_; }
    // All items, read whole on the first call.
    std::vector<ItemFields>& Items();
    // The items one by one, as Items() gives them, for a reader that needs the texts of
    // only some of them: the link of each, and the other fields where they are wanted.
    size_t ItemCount() const { return entries_.size(); }
    std::string ItemLink(size_t index);
    // Title, description, author, date and enclosures (the link is left as it is).
    void ReadItemTexts(size_t index, ItemFields& fields);
    // The feed's site (Atom alternate link, RSS channel link) and its icon (Atom icon, else
    // logo; RSS image url), resolved against the document; empty when it names none.
    const std::string& SiteAddress() const { return site_; }
    const std::string& IconAddress() const { return icon_; }

    // Plain text as HTML: &, < and > escaped.
    static std::string EscapeText(const std::string& text);

private:
    struct Parsed; // the document's tree and what reading its items needs

    std::unique_ptr<Parsed> parsed_;
    std::vector<uint32_t> entries_; // the items' elements, in document order
    bool itemsRead_ = false;
    std::string buildDate_;
    std::string site_;
    std::string icon_;
    std::vector<ItemFields> items_;
};
