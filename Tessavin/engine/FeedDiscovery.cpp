#include "engine/FeedDiscovery.h"

#include "engine/WebAddress.h"
#include "platform/CodePage.h"

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace {

// Start tags past this many are not parsed: a page names its feeds in its head, and every
// node costs the parser memory.
const size_t kMaxTags = 50000;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAlnum(char c) {
    return IsLetter(c) || (c >= '0' && c <= '9');
}

// Elements that never enclose anything: they add no depth.
bool IsVoid(std::string_view name) {
    static const char* const kVoid[] = {"area",  "base",   "br",    "col",  "embed",
                                        "hr",    "img",    "input", "link", "meta",
                                        "param", "source", "track", "wbr",  "keygen"};
    for (const char* v : kVoid) {
        if (name.size() != std::strlen(v))
            continue;
        size_t i = 0;
        while (i < name.size() && Lower(name[i]) == v[i])
            ++i;
        if (i == name.size())
            return true;
    }
    return false;
}

const char* Attribute(const GumboElement& e, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    return a ? a->value : nullptr;
}

// A title as plain text on one line: control characters (C0, DEL, C1) as blanks, blanks at
// the ends dropped, at most kMaxTitle characters.
std::string PlainTitle(std::string_view value) {
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < value.size() && characters < FeedDiscovery::kMaxTitle; ++characters) {
        const auto c = static_cast<unsigned char>(value[i]);
        const size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (value.size() - i < length)
            break; // the parser writes whole characters; a cut one is dropped
        if (c < 0x20 || c == 0x7F || (c == 0xC2 && static_cast<unsigned char>(value[i + 1]) < 0xA0))
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
            if (rel && type && href && FeedDiscovery::IsAlternate(rel) &&
                FeedDiscovery::IsFeedType(type)) {
                const char* title = Attribute(e, "title");
                links.push_back({href, title ? title : "", type});
            }
        }
        if (e.children.length > 0)
            stack.emplace_back(child, 0);
    }
}

// The encoding that a <meta> element in the page's first 1024 bytes declares, lower case,
// when it is one other than UTF-8 that keeps ASCII as it is; empty otherwise (the parser
// reads UTF-8). GB2312 is read as its superset GB18030, as browsers read it.
std::string DeclaredCharset(const std::string& page) {
    const std::string start = platform::AsciiLower(page.substr(0, 1024));
    for (size_t meta = start.find("<meta"); meta != std::string::npos;
         meta = start.find("<meta", meta + 1)) {
        const size_t end = std::min(start.find('>', meta), start.size());
        size_t at = start.find("charset", meta);
        if (at >= end)
            continue;
        at += 7;
        while (at < end && (IsAsciiBlank(start[at]) || start[at] == '=' || start[at] == '"' ||
                            start[at] == '\''))
            ++at;
        std::string name;
        while (at < end && (IsAlnum(start[at]) || start[at] == '-' || start[at] == '_' ||
                            start[at] == '.' || start[at] == ':'))
            name.push_back(start[at++]);
        if (name == "gb2312" || name == "gbk" || name == "x-gbk")
            return "gb18030";
        if (name.empty() || name == "utf-8" || name == "utf8" || name.rfind("utf-16", 0) == 0 ||
            name.rfind("utf-32", 0) == 0)
            return std::string();
        return name;
    }
    return std::string();
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
    for (const char* feed : {"application/rss+xml", "application/atom+xml", "application/rdf+xml",
                             "application/feed+json", "application/json"})
        if (media == feed)
            return true;
    return false;
}

bool FeedDiscovery::IsAlternate(const std::string& rel) {
    size_t pos = 0;
    while (pos < rel.size()) {
        while (pos < rel.size() && IsAsciiBlank(rel[pos]))
            ++pos;
        size_t end = pos;
        while (end < rel.size() && !IsAsciiBlank(rel[end]))
            ++end;
        static const char kAlternate[] = "alternate";
        if (end - pos == sizeof kAlternate - 1) {
            size_t i = 0;
            while (i < end - pos && Lower(rel[pos + i]) == kAlternate[i])
                ++i;
            if (i == end - pos)
                return true;
        }
        pos = end;
    }
    return false;
}

size_t FeedDiscovery::ParsedLength(const std::string& page) {
    const size_t n = std::min(page.size(), kMaxPageBytes);
    size_t tags = 0, depth = 0;
    for (size_t pos = page.find('<'); pos < n; pos = page.find('<', pos + 1)) {
        if (pos + 1 < n && page[pos + 1] == '/') {
            depth -= depth > 0 ? 1 : 0;
            continue;
        }
        if (pos + 1 >= n || !IsLetter(page[pos + 1]))
            continue;
        size_t end = pos + 1;
        while (end < n && IsAlnum(page[end]))
            ++end;
        if (++tags > kMaxTags ||
            (!IsVoid(std::string_view(page).substr(pos + 1, end - pos - 1)) && ++depth > kMaxDepth))
            return pos;
    }
    return n;
}

std::vector<DiscoveredFeed> FeedDiscovery::Find(const std::string& page,
                                                const std::string& pageAddress) {
    std::vector<DiscoveredFeed> feeds;
    // Errors are not recorded: each copies the parser's stack of open elements. (This
    // parser has no depth limit of its own; ParsedLength is it.)
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    std::string text = page.substr(0, ParsedLength(page));
    const std::string charset = DeclaredCharset(text);
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
