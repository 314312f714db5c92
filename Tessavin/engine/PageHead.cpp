#include "engine/PageHead.h"

#include <algorithm>
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

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The first character past the tag whose attributes start at `at`, or npos when the tag does
// not end. As the HTML tokenizer reads it: a quote opens a value only where a value starts
// (after '=' and blanks); elsewhere (it's, a"b) it is a character of a name or value.
size_t TagEnd(const std::string& page, size_t at) {
    bool valueStarts = false;
    for (; at < page.size(); ++at) {
        const char c = page[at];
        if (c == '>')
            return at + 1;
        if (valueStarts && (c == '"' || c == '\'')) {
            const size_t close = page.find(c, at + 1);
            if (close == std::string::npos)
                return std::string::npos;
            at = close;
            valueStarts = false;
        } else if (c == '=') {
            valueStarts = true;
        } else if (!IsBlank(c)) {
            valueStarts = false;
        }
    }
    return std::string::npos;
}

// The first character past the comment that opens at `at` ("<!--"), or npos when it does
// not end. "<!-->" and "<!--->" end at once, as they do for the parser; "--!>" ends one too.
size_t CommentEnd(const std::string& page, size_t at) {
    if (page.compare(at + 4, 1, ">") == 0)
        return at + 5;
    if (page.compare(at + 4, 2, "->") == 0)
        return at + 6;
    for (size_t dash = page.find("--", at + 4); dash != std::string::npos;
         dash = page.find("--", dash + 1)) {
        if (page.compare(dash + 2, 1, ">") == 0)
            return dash + 3;
        if (page.compare(dash + 2, 2, "!>") == 0)
            return dash + 4;
    }
    return std::string::npos;
}

// Where the end tag of a raw text element starts (any case), or npos.
size_t RawTextEnd(const std::string& page, size_t at, const std::string& name) {
    for (at = page.find("</", at); at != std::string::npos; at = page.find("</", at + 2))
        if (LowerName(page, at + 2) == name)
            return at;
    return std::string::npos;
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
    // Whatever does not end (a comment, a tag, a script) ends the head where it starts: the
    // parser then reads less, never more.
    size_t tags = 0;
    size_t at = page.find('<');
    while (at != std::string::npos && at + 1 < page.size()) {
        if (at > kMaxBytes)
            return at;
        size_t next = std::string::npos;
        if (page.compare(at, 4, "<!--") == 0) {
            next = CommentEnd(page, at);
        } else if (page[at + 1] == '!' || page[at + 1] == '?') {
            // A doctype, or what the parser reads as a comment up to the next '>'.
            next = page.find('>', at + 2);
            next = next == std::string::npos ? next : next + 1;
        } else {
            const bool closing = page[at + 1] == '/';
            const size_t nameAt = at + 1 + (closing ? 1 : 0);
            const std::string name = LowerName(page, nameAt);
            if (name.empty()) { // a '<' of text
                at = page.find('<', at + 1);
                continue;
            }
            if (closing && (name == "head" || name == "body" || name == "html"))
                return at;
            if (!closing && (++tags > kMaxTags || !IsHeadElement(name)))
                return at;
            next = TagEnd(page, nameAt + name.size());
            if (next != std::string::npos && !closing &&
                (name == "script" || name == "style" || name == "title"))
                next = RawTextEnd(page, next, name);
        }
        if (next == std::string::npos)
            return at;
        at = page.find('<', next);
    }
    return page.size();
}

bool PageHead::HasRelToken(std::string_view rel, std::string_view token) {
    size_t at = 0;
    while (at < rel.size()) {
        while (at < rel.size() && IsBlank(rel[at]))
            ++at;
        size_t end = at;
        while (end < rel.size() && !IsBlank(rel[end]))
            ++end;
        const std::string_view word = rel.substr(at, end - at);
        if (word.size() == token.size() &&
            std::equal(word.begin(), word.end(), token.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            }))
            return true;
        at = end;
    }
    return false;
}
