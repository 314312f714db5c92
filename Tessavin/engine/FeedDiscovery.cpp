#include "engine/FeedDiscovery.h"

#include "engine/MarkupDepth.h"
#include "engine/PageHead.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

const char* Attribute(const GumboElement& e, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    return a ? a->value : nullptr;
}

// Whether the UTF-8 character at the start of s is a bidirectional control (U+200E/200F,
// U+202A-202E, U+2066-2069): in a title it would turn the text shown around it.
bool IsBidiControl(std::string_view s) {
    if (s.size() < 3 || static_cast<unsigned char>(s[0]) != 0xE2)
        return false;
    const auto b = static_cast<unsigned char>(s[1]), c = static_cast<unsigned char>(s[2]);
    return (b == 0x80 && (c == 0x8E || c == 0x8F || (c >= 0xAA && c <= 0xAE))) ||
           (b == 0x81 && c >= 0xA6 && c <= 0xA9);
}

// A title as plain text on one line: control characters (C0, DEL, C1) and bidirectional
// controls as blanks, blanks at the ends dropped, at most kMaxTitle characters.
std::string PlainTitle(std::string_view value) {
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < value.size() && characters < FeedDiscovery::kMaxTitle; ++characters) {
        const auto c = static_cast<unsigned char>(value[i]);
        const size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (value.size() - i < length)
            break; // the parser writes whole characters; a cut one is dropped
        if (c < 0x20 || c == 0x7F ||
            (c == 0xC2 && static_cast<unsigned char>(value[i + 1]) < 0xA0) ||
            IsBidiControl(value.substr(i, length)))
            out.push_back(' ');
        else
            out.append(value.substr(i, length));
        i += length;
    }
    const size_t begin = out.find_first_not_of(' ');
    return begin == std::string::npos ? std::string()
                                      : out.substr(begin, out.find_last_not_of(' ') + 1 - begin);
}

// An address a channel can have: http or https, absolute, without blanks or control
// characters inside, of a reasonable length.
bool IsChannelAddress(const std::string& url) {
    if (url.size() > FeedDiscovery::kMaxAddress || !WebAddress::IsWebLink(url))
        return false;
    for (char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return false;
    return true;
}

struct LinkElement {
    std::string href, title, type;
};

// Walks the tree without recursion: the first base address and the feed links, at most
// kMaxLinks link elements looked at. Template contents are inert and not walked.
void Walk(const GumboNode* root, std::string& baseHref, std::vector<LinkElement>& links) {
    std::vector<std::pair<const GumboNode*, unsigned>> stack{{root, 0}};
    bool haveBase = false;
    size_t looked = 0;
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        const GumboVector& children = node->v.element.children;
        if (next >= children.length) {
            stack.pop_back();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[next++]);
        if (child->type != GUMBO_NODE_ELEMENT)
            continue;
        const GumboElement& e = child->v.element;
        if (e.tag == GUMBO_TAG_BASE && !haveBase) {
            if (const char* href = Attribute(e, "href")) {
                baseHref = href;
                haveBase = true;
            }
        } else if (e.tag == GUMBO_TAG_LINK) {
            if (++looked > FeedDiscovery::kMaxLinks)
                return;
            const char* rel = Attribute(e, "rel");
            const char* type = Attribute(e, "type");
            const char* href = Attribute(e, "href");
            if (rel && type && href && PageHead::HasRelToken(rel, "alternate") &&
                FeedDiscovery::IsFeedType(type)) {
                const char* title = Attribute(e, "title");
                links.push_back({href, title ? title : "", type});
            }
        }
        if (e.children.length > 0)
            stack.emplace_back(child, 0);
    }
}

// The name of an encoding after "charset" at `at` in lower-case text, up to `end`.
std::string CharsetName(const std::string& text, size_t at, size_t end) {
    at += 7;
    while (at < end &&
           (IsAsciiBlank(text[at]) || text[at] == '=' || text[at] == '"' || text[at] == '\''))
        ++at;
    std::string name;
    while (at < end && (IsAlnum(text[at]) || text[at] == '-' || text[at] == '_' ||
                        text[at] == '.' || text[at] == ':'))
        name.push_back(text[at++]);
    return name;
}

// The encoding that a <meta> element in the page's first 1024 bytes declares, or else the
// charset of the response's Content-Type, lower case, when it is one other than UTF-8 that
// keeps ASCII as it is; empty otherwise (the parser reads UTF-8). GB2312 is read as its
// superset GB18030, as browsers read it.
std::string DeclaredCharset(const std::string& page, const std::string& contentType) {
    const std::string start = platform::AsciiLower(page.substr(0, 1024));
    std::string name;
    for (size_t meta = start.find("<meta"); meta != std::string::npos && name.empty();
         meta = start.find("<meta", meta + 1)) {
        const size_t end = std::min(start.find('>', meta), start.size());
        const size_t at = start.find("charset", meta);
        if (at < end)
            name = CharsetName(start, at, end);
    }
    if (name.empty()) {
        const std::string header = platform::AsciiLower(contentType.substr(0, 256));
        const size_t at = header.find("charset");
        if (at != std::string::npos)
            name = CharsetName(header, at, header.size());
    }
    if (name == "gb2312" || name == "gbk" || name == "x-gbk")
        return "gb18030";
    if (name.empty() || name == "utf-8" || name == "utf8" || name.rfind("utf-16", 0) == 0 ||
        name.rfind("utf-32", 0) == 0)
        return std::string();
    return name;
}

std::string MediaType(const std::string& type) {
    std::string out;
    for (char c : type.substr(0, type.find(';')))
        if (!IsAsciiBlank(c))
            out.push_back(Lower(c));
    return out;
}

} // namespace

bool FeedDiscovery::IsFeedType(const std::string& type) {
    const std::string media = MediaType(type);
    // Plain application/json is left out: sites name their data interfaces so.
    for (const char* feed : {"application/rss+xml", "application/atom+xml", "application/rdf+xml",
                             "application/feed+json"})
        if (media == feed)
            return true;
    return false;
}

size_t FeedDiscovery::ParsedLength(const std::string& page) {
    // Feed links belong in the head; the body (where the parser may rebuild formatting
    // elements without end, or nest without bound) is never read.
    return std::min(PageHead::Length(page),
                    MarkupDepth::Cut(page, kMaxPageBytes, kMaxDepth, kMaxTags));
}

std::vector<DiscoveredFeed> FeedDiscovery::Find(const std::string& page,
                                                const std::string& pageAddress,
                                                const std::string& contentType) {
    std::vector<DiscoveredFeed> feeds;
    // Errors are not recorded: each copies the parser's stack of open elements. (This
    // parser has no depth limit of its own; ParsedLength is it.)
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    std::string text = page.substr(0, ParsedLength(page));
    const std::string charset = DeclaredCharset(text, contentType);
    std::string converted;
    if (!charset.empty() && platform::ConvertEncoding(text, charset.c_str(), "UTF-8", converted))
        text.swap(converted);
    GumboOutput* output = gumbo_parse_with_options(&options, text.data(), text.size());
    if (!output)
        return feeds;
    std::string baseHref;
    std::vector<LinkElement> links;
    if (output->root->type == GUMBO_NODE_ELEMENT)
        Walk(output->root, baseHref, links);
    gumbo_destroy_output(&options, output);

    std::string base = pageAddress;
    if (!baseHref.empty()) {
        const std::string resolved = WebAddress::Resolve(pageAddress, WebAddress::Clean(baseHref));
        if (IsChannelAddress(resolved))
            base = resolved;
    }
    std::unordered_set<std::string> seen;
    for (const LinkElement& link : links) {
        std::string url = WebAddress::Resolve(base, WebAddress::Clean(link.href));
        if (!IsChannelAddress(url) || !seen.insert(url).second)
            continue;
        feeds.push_back({PlainTitle(link.title), std::move(url), MediaType(link.type)});
        if (feeds.size() == kMaxFeeds)
            break;
    }
    return feeds;
}
