#include "engine/MarkupDepth.h"

#include <algorithm>

namespace {

const size_t kLongestName = 32;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that never enclose anything: they add no depth.
bool IsVoid(std::string_view name) {
    return OneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
                        "param", "source", "track", "wbr", "keygen"});
}

// Elements whose end the parser implies: an end tag of an enclosing element closes them.
bool EndsByItself(std::string_view name) {
    return OneOf(name, {"li", "p", "dd", "dt", "option", "optgroup", "tr", "td", "th", "tbody",
                        "thead", "tfoot", "colgroup", "caption", "rb", "rp", "rt", "rtc"});
}

// Elements whose content is text up to their own end tag.
bool HoldsRawText(std::string_view name) {
    return OneOf(name,
                 {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"});
}

} // namespace

size_t MarkupDepth::Cut(const std::string& page, size_t n, size_t maxDepth, size_t maxTags) {
    MarkupDepth depth(page, std::min(n, page.size()));
    size_t tags = 0;
    size_t pos = page.find('<');
    while (pos < depth.n_) {
        const bool end = pos + 1 < depth.n_ && page[pos + 1] == '/';
        const size_t nameAt = pos + (end ? 2 : 1);
        if (nameAt < depth.n_ && (page[nameAt] == '!' || page[nameAt] == '?') && !end) {
            pos = page.find('<', depth.SkipComment(pos));
            continue;
        }
        if (nameAt >= depth.n_ || !IsLetter(page[nameAt])) {
            // An end tag without a name is a comment up to '>'; a lone '<' is text.
            pos = end ? page.find('>', nameAt) : pos + 1;
            pos = page.find('<', pos);
            continue;
        }
        // Names longer than any element's are kept as one that matches nothing.
        std::string name;
        size_t after = nameAt;
        while (after < depth.n_ && !IsBlank(page[after]) && page[after] != '/' &&
               page[after] != '>')
            if (++after - nameAt <= kLongestName)
                name.push_back(Lower(page[after - 1]));
        if (after - nameAt > kLongestName)
            name = "\x01";
        if (end) {
            depth.Close(name);
            pos = page.find('<', depth.SkipAttributes(after));
            continue;
        }
        if (++tags > maxTags)
            return pos;
        if (!IsVoid(name)) {
            depth.open_.push_back(name);
            if (depth.open_.size() > maxDepth)
                return pos;
        }
        after = depth.SkipAttributes(after);
        if (HoldsRawText(name)) {
            // In svg or math the parser may read it as markup, or may have left them.
            const bool foreign =
                std::any_of(depth.open_.begin(), depth.open_.end(), [](const std::string& open) {
                    return open == "svg" || open == "math";
                });
            depth.unsure_ |= foreign;
            if (!foreign)
                after = depth.SkipRawText(after, name);
        }
        pos = page.find('<', after);
    }
    return depth.n_;
}

size_t MarkupDepth::SkipAttributes(size_t pos) const {
    while (pos < n_) {
        while (pos < n_ && (IsBlank(page_[pos]) || page_[pos] == '/'))
            ++pos;
        if (pos >= n_ || page_[pos] == '>')
            return std::min(pos + 1, n_);
        // A name: its first character may be '=', quotes belong to it.
        ++pos;
        while (pos < n_ && !IsBlank(page_[pos]) && page_[pos] != '/' && page_[pos] != '>' &&
               page_[pos] != '=')
            ++pos;
        while (pos < n_ && IsBlank(page_[pos]))
            ++pos;
        if (pos >= n_ || page_[pos] != '=')
            continue;
        ++pos;
        while (pos < n_ && IsBlank(page_[pos]))
            ++pos;
        if (pos < n_ && (page_[pos] == '"' || page_[pos] == '\'')) {
            pos = page_.find(page_[pos], pos + 1);
            pos = pos < n_ ? pos + 1 : n_;
        } else {
            while (pos < n_ && !IsBlank(page_[pos]) && page_[pos] != '>')
                ++pos;
        }
    }
    return n_;
}

size_t MarkupDepth::SkipComment(size_t pos) {
    if (page_.compare(pos, 4, "<!--") != 0) {
        // Foreign content reads CDATA to "]]>", other content to '>': either may be meant.
        if (page_.compare(pos, 9, "<![CDATA[") == 0)
            unsure_ = true;
        const size_t end = page_.find('>', pos);
        return end < n_ ? end + 1 : n_;
    }
    // "<!-->" and "<!--->" end at once; others at the first "-->" or "--!>".
    if (page_.compare(pos + 4, 1, ">") == 0)
        return pos + 5;
    if (page_.compare(pos + 4, 2, "->") == 0)
        return pos + 6;
    const size_t a = page_.find("-->", pos + 4), b = page_.find("--!>", pos + 4);
    const size_t end =
        std::min(a == std::string::npos ? a : a + 3, b == std::string::npos ? b : b + 4);
    return std::min(end, n_);
}

size_t MarkupDepth::SkipRawText(size_t pos, std::string_view name) {
    for (size_t at = page_.find("</", pos); at < n_; at = page_.find("</", at + 2)) {
        const size_t after = at + 2 + name.size();
        if (after > n_)
            break;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = Lower(page_[at + 2 + i]) == name[i];
        if (!same ||
            (after < n_ && !IsBlank(page_[after]) && page_[after] != '/' && page_[after] != '>'))
            continue;
        // A script's "<!--" with "<script" after it may hide its end tag from the parser.
        const std::string_view text = std::string_view(page_).substr(pos, at - pos);
        const size_t comment = text.find("<!--");
        if (name == "script" && comment != std::string_view::npos) {
            std::string lower(text.substr(comment));
            std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
            unsure_ |= lower.find("<script") != std::string::npos;
        }
        return at; // the end tag itself closes the element
    }
    return n_;
}

void MarkupDepth::Close(const std::string& name) {
    if (unsure_)
        return;
    for (size_t i = open_.size(); i-- > 0;) {
        if (open_[i] == name) {
            open_.resize(i);
            return;
        }
        if (!EndsByItself(open_[i]))
            return; // the parser keeps it open, or may
    }
}
