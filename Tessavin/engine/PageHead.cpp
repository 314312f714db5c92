#include "engine/PageHead.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace {

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

std::string LowerName(const std::string& page, size_t at) {
    std::string name;
    while (at < page.size() && IsNameChar(page[at]) && name.size() < 16)
        name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(page[at++]))));
    return name;
}

// The first character past the tag whose attributes start at `at`: past its '>' outside
// quotes, or the page's end.
size_t TagEnd(const std::string& page, size_t at) {
    char quote = 0;
    for (; at < page.size(); ++at) {
        const char c = page[at];
        if (quote)
            quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'')
            quote = c;
        else if (c == '>')
            return at + 1;
    }
    return page.size();
}

// Where the end tag of a raw text element starts (any case), or the page's end.
size_t RawTextEnd(const std::string& page, size_t at, const std::string& name) {
    for (at = page.find("</", at); at != std::string::npos; at = page.find("</", at + 2))
        if (LowerName(page, at + 2) == name)
            return at;
    return page.size();
}

bool IsHeadElement(std::string_view name) {
    for (const char* allowed :
         {"html", "head", "base", "link", "meta", "title", "style", "script", "noscript"})
        if (name == allowed)
            return true;
    return false;
}

} // namespace

size_t PageHead::Length(const std::string& page) {
    size_t tags = 0;
    size_t at = page.find('<');
    while (at != std::string::npos && at + 1 < page.size()) {
        if (page.compare(at, 4, "<!--") == 0) {
            const size_t end = page.find("-->", at + 4);
            if (end == std::string::npos)
                return page.size();
            at = page.find('<', end + 3);
            continue;
        }
        const bool closing = page[at + 1] == '/';
        const size_t nameAt = at + 1 + (closing ? 1 : 0);
        const std::string name = LowerName(page, nameAt);
        if (page[at + 1] == '!' || page[at + 1] == '?') { // a doctype or the like
            at = page.find('<', TagEnd(page, at + 2));
            continue;
        }
        if (name.empty()) { // a '<' of text
            at = page.find('<', at + 1);
            continue;
        }
        if (closing && (name == "head" || name == "body" || name == "html"))
            return at;
        if (!closing && (++tags > kMaxTags || !IsHeadElement(name)))
            return at;
        size_t next = TagEnd(page, nameAt + name.size());
        if (!closing && (name == "script" || name == "style" || name == "title"))
            next = RawTextEnd(page, next, name);
        at = page.find('<', next);
    }
    return page.size();
}
