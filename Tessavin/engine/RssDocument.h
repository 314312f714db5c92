#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How a channel page is written: UTF-8 (with byte-order mark and charset) or in the
// feed's own native bytes (GB2312/GBK feeds).
enum class PageEncoding { kUtf8, kNative };

struct DocumentEncoding {
    PageEncoding page = PageEncoding::kUtf8;
    // Lower-cased declared name; empty when the document declares none.
    std::string declared;
    // Item texts are converted from `declared` to UTF-8 before they are written.
    bool convertToUtf8 = false;
};

// The five texts of an item, as Field would give them.
// A file an item carries (RSS enclosure, Atom enclosure link, Media RSS content): its
// address, type and size in bytes, as the document gives them (references decoded).
struct Enclosure {
    std::string url;
    std::string type;
    std::string length;
};

struct ItemFields {
    std::string link;
    std::string title;
    std::string description;
    std::string author;
    std::string pubDate;
    std::vector<Enclosure> enclosures;
};

// The start of an "<item>" match and the start of its "</item>" match.
struct ItemSpan {
    size_t start = 0;
    size_t end = 0;
};

// A downloaded RSS document read by plain, case-sensitive substring search on its bytes.
// It reads the caller's text in place; the text must outlive the document.
class RssDocument {
public:
    explicit RssDocument(const std::string& text) : text_(text) {}
    explicit RssDocument(std::string&&) = delete; // would dangle
    const std::string& Text() const { return text_; }

    // The version attribute of the <rss> start tag (wherever it stands among the tag's
    // attributes, in either quotes) is exactly "2.0".
    bool HasSupportedVersion() const;
    // The document's channel element is closed: a "</channel>" follows its "<channel".
    bool IsComplete() const;
    // The first <lastBuildDate> text, else the first <pubDate> text, else (no date at all)
    // "fnv1a64:" + the 16 hex digits of the FNV-1a hash of the whole document.
    std::string BuildDate() const;
    // The encoding declared in the XML declaration at the start of the document.
    DocumentEncoding Encoding() const;
    // The next item from cursor; the cursor then stands 5 bytes after the "</item>" start.
    bool NextItem(size_t& cursor, ItemSpan& span) const;
    // The text between open and close inside the item (CDATA unwrapped; no decoding).
    std::string Field(const ItemSpan& span, const char* open, const char* close) const;
    // All five fields of an item in one pass over it.
    void ReadItem(const ItemSpan& span, ItemFields& fields) const;
    // The same in two steps: where the fields' tags stand (one pass over the item) and the
    // link, then the other fields when they are wanted.
    struct ItemTags {
        size_t first[10]; // opening and closing tag of link, title, description, author, date
    };
    ItemTags ReadLink(const ItemSpan& span, ItemFields& fields) const;
    void ReadRest(const ItemSpan& span, const ItemTags& tags, ItemFields& fields) const;
    // The channel's own link and its image's url, as the head of the channel (before the
    // first "<item") gives them (CDATA unwrapped, references decoded); empty when missing.
    void HeadAddresses(std::string& site, std::string& icon) const;

private:
    // The item's enclosures and Media RSS contents that name an address.
    void ReadEnclosures(const ItemSpan& span, std::vector<Enclosure>& out) const;
    // The field whose tags were found at open and close (npos when missing).
    std::string Extract(const ItemSpan& span, size_t open, size_t openLength, size_t close) const;

    // The first occurrence of needle at or after from; repeated searches with a cursor that
    // only moves forward reuse the last answer, so a walk stays linear in the text.
    struct CachedFind {
        size_t from = std::string::npos;
        size_t found = std::string::npos;
    };
    size_t FindFrom(CachedFind& cache, const char* needle, size_t from) const;

    const std::string& text_;
    mutable CachedFind nextOpen_;
    mutable CachedFind nextClose_;
    mutable CachedFind nextEnclosure_;
    mutable CachedFind nextMedia_;
};

// 64-bit FNV-1a of the bytes.
uint64_t Fnv1a64(const std::string& bytes);
