// The feeds a web page names. The input is a page, read as at http://site.example/dir/page.
// Property: at most kMaxFeeds feeds, each of a feed's media type, with a distinct absolute
// http or https address without blanks or control characters of at most kMaxAddress bytes,
// and a title of at most kMaxTitle characters without control (or bidirectional control)
// characters or blanks at its ends; and the page is parsed only up to ParsedLength.
#include "FuzzSupport.h"
#include "engine/FeedDiscovery.h"
#include "engine/WebAddress.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

// Whether the UTF-8 character at text[i] is a bidirectional control.
bool IsBidiControl(const std::string& text, size_t i) {
    const std::string c = text.substr(i, 3);
    return c == "\xE2\x80\x8E" || c == "\xE2\x80\x8F" ||
           (c.compare(0, 2, "\xE2\x80") == 0 && c.size() == 3 && c[2] >= '\xAA' &&
            c[2] <= '\xAE') ||
           (c.compare(0, 2, "\xE2\x81") == 0 && c.size() == 3 && c[2] >= '\xA6' && c[2] <= '\xA9');
}

// Characters of a UTF-8 text, or npos when it is not UTF-8 or holds a control character
// (bidirectional ones too).
size_t PlainCharacters(const std::string& text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > text.size() || c < 0x20 || c == 0x7F ||
            (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) || IsBidiControl(text, i))
            return std::string::npos;
        i += length;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page = Input(data, size);
    const auto feeds = FeedDiscovery::Find(page, "http://site.example/dir/page");
    Check(feeds.size() <= FeedDiscovery::kMaxFeeds, "too many feeds", page);
    Check(FeedDiscovery::ParsedLength(page) <= page.size(), "parsed past the end", page);
    std::set<std::string> seen;
    for (const DiscoveredFeed& feed : feeds) {
        Check(WebAddress::IsWebLink(feed.url) && feed.url.size() <= FeedDiscovery::kMaxAddress,
              "not a web address", feed.url);
        for (char c : feed.url)
            Check(static_cast<unsigned char>(c) > 0x20 && c != 0x7F, "blank in address", feed.url);
        Check(seen.insert(feed.url).second, "address twice", feed.url);
        Check(FeedDiscovery::IsFeedType(feed.type), "not a feed's type", feed.type);
        const size_t characters = PlainCharacters(feed.title);
        Check(characters <= FeedDiscovery::kMaxTitle, "title not plain or too long", feed.title);
        Check(feed.title.empty() || (feed.title.front() != ' ' && feed.title.back() != ' '),
              "blank at a title's end", feed.title);
    }
    return 0;
}
