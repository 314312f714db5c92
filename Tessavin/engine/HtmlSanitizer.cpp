#include "engine/HtmlSanitizer.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// The text is parsed where the page puts it: inside a division of the page's body, after
// an image (so the parser's state matches the page's: a frameset can no longer start).
const char kContext[] = "<html><head></head><body><div><img>";
const size_t kContextLength = sizeof kContext - 1;

// A removal pass that still changes the text after this many rounds gives up on markup:
// every '<' is escaped instead (only deliberately nested attacks get here).
const int kMaxRounds = 8;
// Parsing time grows with the square of the nesting depth; a text with more tags than this
// (no feed item needs them) keeps its text and loses its markup instead.
const size_t kMaxTags = 10000;

bool IsOneOf(GumboTag tag, std::initializer_list<GumboTag> tags) {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

// Elements whose content runs, loads, or was parsed as something other than markup: they
// go with everything inside them.
bool RemoveWithContent(const GumboElement& e) {
    if (e.tag_namespace != GUMBO_NAMESPACE_HTML)
        return true; // inside svg or math: the whole foreign subtree goes
    return IsOneOf(e.tag,
                   {GUMBO_TAG_SCRIPT,    GUMBO_TAG_STYLE,    GUMBO_TAG_IFRAME,   GUMBO_TAG_FRAME,
                    GUMBO_TAG_FRAMESET,  GUMBO_TAG_OBJECT,   GUMBO_TAG_EMBED,    GUMBO_TAG_APPLET,
                    GUMBO_TAG_NOSCRIPT,  GUMBO_TAG_NOEMBED,  GUMBO_TAG_NOFRAMES, GUMBO_TAG_XMP,
                    GUMBO_TAG_PLAINTEXT, GUMBO_TAG_TEXTAREA, GUMBO_TAG_TITLE,    GUMBO_TAG_TEMPLATE,
                    GUMBO_TAG_SVG,       GUMBO_TAG_MATH,     GUMBO_TAG_SELECT,   GUMBO_TAG_DATALIST,
                    GUMBO_TAG_OPTION,    GUMBO_TAG_OPTGROUP, GUMBO_TAG_META,     GUMBO_TAG_LINK,
                    GUMBO_TAG_BASE,      GUMBO_TAG_INPUT,    GUMBO_TAG_KEYGEN,   GUMBO_TAG_PARAM});
}

// Form elements whose content is ordinary markup: only their tags go.
bool RemoveTagOnly(const GumboElement& e) {
    return IsOneOf(e.tag, {GUMBO_TAG_FORM, GUMBO_TAG_BUTTON, GUMBO_TAG_FIELDSET, GUMBO_TAG_LABEL,
                           GUMBO_TAG_OUTPUT});
}

bool IsUrlAttribute(std::string_view name) {
    static const char* const kNames[] = {
        "href",       "src",     "srcset",   "poster",  "background", "cite",   "longdesc",
        "xlink:href", "data",    "codebase", "dynsrc",  "lowsrc",     "ping",   "icon",
        "manifest",   "archive", "classid",  "profile", "usemap",     "action", "formaction"};
    for (const char* n : kNames)
        if (name == n)
            return true;
    return false;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The scheme rule for one address: blanks and controls dropped, then the text before the
// first ':' (if it comes before any '/', '?' or '#') must be http, https or mailto.
bool IsAllowedAddress(std::string_view value, bool imageSource) {
    std::string a;
    a.reserve(value.size());
    for (char c : value)
        if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F)
            a.push_back(Lower(c));
    size_t end = a.find_first_of(":/?#");
    if (end == std::string::npos || a[end] != ':')
        return true; // relative
    std::string_view scheme(a.data(), end);
    if (scheme == "http" || scheme == "https" || scheme == "mailto")
        return true;
    if (imageSource && scheme == "data") {
        for (const char* type : {"image/png", "image/gif", "image/jpeg", "image/webp"}) {
            size_t n = std::strlen(type);
            if (a.compare(end + 1, n, type) == 0 && a.size() > end + 1 + n &&
                (a[end + 1 + n] == ';' || a[end + 1 + n] == ','))
                return true;
        }
    }
    return false;
}

// srcset: candidates separated by commas, each an address and an optional descriptor.
bool IsAllowedSourceSet(std::string_view value) {
    size_t pos = 0;
    while (pos <= value.size()) {
        size_t comma = value.find(',', pos);
        std::string_view candidate = value.substr(
            pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        size_t start = candidate.find_first_not_of(" \t\r\n\f");
        if (start != std::string_view::npos) {
            size_t stop = candidate.find_first_of(" \t\r\n\f", start);
            if (!IsAllowedAddress(candidate.substr(start, stop == std::string_view::npos
                                                              ? std::string_view::npos
                                                              : stop - start),
                                  false))
                return false;
        }
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    return true;
}

bool IsForbiddenAttribute(const GumboElement& e, const GumboAttribute& a) {
    std::string_view name(a.name);
    if (a.attr_namespace == GUMBO_ATTR_NAMESPACE_XLINK)
        return true;
    if (name.size() >= 2 && name[0] == 'o' && name[1] == 'n')
        return true;
    if (name == "srcdoc" || name == "formaction" || name == "action" || name == "http-equiv")
        return true;
    if (name == "srcset")
        return !IsAllowedSourceSet(a.value);
    if (IsUrlAttribute(name))
        return !IsAllowedAddress(a.value, e.tag == GUMBO_TAG_IMG && name == "src");
    return false;
}

// The parser joins the name after a duplicate attribute onto it ("<a x x onclick>" gives
// one attribute "x onclick" when errors are not recorded): a name that is not exactly its
// source text is cut, whatever it hides.
bool NameIsItsSource(const GumboAttribute& a) {
    const size_t length = std::strlen(a.name);
    if (a.original_name.length != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (Lower(a.original_name.data[i]) != a.name[i])
            return false;
    return true;
}

// How many start tags the text may hold: '<' followed by a letter.
size_t StartTags(const std::string& text) {
    size_t count = 0;
    for (size_t pos = text.find('<'); pos != std::string::npos; pos = text.find('<', pos + 1))
        if (pos + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[pos + 1])))
            ++count;
    return count;
}

// A quick look that proves most feed texts safe without parsing them: every tag is an
// end tag or a start tag of a plain formatting element with plain attributes, and every
// address is http, https, mailto or a relative one without ':' or '&'. Anything else, or
// anything unusual in a tag, is left to the parser (false).
bool IsPlainMarkup(const std::string& text) {
    static const std::unordered_set<std::string> kTags = {
        "a",      "abbr", "b",          "big",      "blockquote", "br",    "caption", "center",
        "cite",   "code", "col",        "colgroup", "dd",         "del",   "div",     "dl",
        "dt",     "em",   "figcaption", "figure",   "font",       "h1",    "h2",      "h3",
        "h4",     "h5",   "h6",         "hr",       "i",          "img",   "ins",     "li",
        "ol",     "p",    "pre",        "q",        "s",          "small", "span",    "strike",
        "strong", "sub",  "sup",        "table",    "tbody",      "td",    "tfoot",   "th",
        "thead",  "tr",   "tt",         "u",        "ul"};
    static const std::unordered_set<std::string> kAttributes = {
        "align",   "alt",   "border", "cellpadding", "cellspacing", "class",  "color",
        "colspan", "dir",   "face",   "height",      "href",        "hspace", "id",
        "lang",    "name",  "rel",    "rowspan",     "size",        "src",    "style",
        "target",  "title", "valign", "vspace",      "width"};
    auto isAlnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    auto plainAddress = [](const std::string& v) {
        if (v.compare(0, 7, "http://") == 0 || v.compare(0, 8, "https://") == 0 ||
            v.compare(0, 7, "mailto:") == 0)
            return true;
        return v.find_first_of(":&") == std::string::npos;
    };
    if (text.find('\0') != std::string::npos)
        return false;
    const size_t n = text.size();
    std::string name, attribute, value;
    for (size_t pos = text.find('<'); pos != std::string::npos; pos = text.find('<', pos)) {
        ++pos;
        const bool endTag = pos < n && text[pos] == '/';
        if (endTag)
            ++pos;
        name.clear();
        while (pos < n && isAlnum(text[pos]))
            name.push_back(Lower(text[pos++]));
        if (kTags.count(name) == 0)
            return false;
        if (endTag) {
            while (pos < n && isBlank(text[pos]))
                ++pos;
            if (pos >= n || text[pos] != '>')
                return false;
            continue;
        }
        for (;;) {
            while (pos < n && isBlank(text[pos]))
                ++pos;
            if (pos >= n)
                return false;
            if (text[pos] == '>')
                break;
            if (text[pos] == '/') {
                if (pos + 1 < n && text[pos + 1] == '>') {
                    ++pos;
                    break;
                }
                return false;
            }
            attribute.clear();
            while (pos < n &&
                   (std::isalpha(static_cast<unsigned char>(text[pos])) || text[pos] == '-'))
                attribute.push_back(Lower(text[pos++]));
            if (kAttributes.count(attribute) == 0)
                return false;
            if (pos >= n ||
                (!isBlank(text[pos]) && text[pos] != '=' && text[pos] != '>' && text[pos] != '/'))
                return false;
            if (text[pos] != '=')
                continue;
            ++pos;
            value.clear();
            if (pos < n && (text[pos] == '"' || text[pos] == '\'')) {
                const size_t close = text.find(text[pos], pos + 1);
                if (close == std::string::npos)
                    return false;
                value.assign(text, pos + 1, close - pos - 1);
                if (value.find('<') != std::string::npos)
                    return false;
                pos = close + 1;
                if (pos < n && !isBlank(text[pos]) && text[pos] != '>' && text[pos] != '/')
                    return false;
            } else {
                while (pos<n&& static_cast<unsigned char>(text[pos])> 0x20 &&
                       static_cast<unsigned char>(text[pos]) < 0x7F && text[pos] != '>' &&
                       std::strchr("\"'=<`", text[pos]) == nullptr)
                    value.push_back(text[pos++]);
                if (value.empty() || (pos < n && !isBlank(text[pos]) && text[pos] != '>'))
                    return false;
            }
            if ((attribute == "href" || attribute == "src") && !plainAddress(value))
                return false;
        }
    }
    return true;
}

using Range = std::pair<size_t, size_t>; // [begin, end) in the parsed buffer

class CutCollector {
public:
    CutCollector(const char* buffer, size_t size) : buffer_(buffer), size_(size) {}

    void Walk(const GumboNode* node) {
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE &&
            node->type != GUMBO_NODE_DOCUMENT)
            return;
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        if (node->type != GUMBO_NODE_DOCUMENT) {
            const GumboElement& e = node->v.element;
            const bool fromText = FromText(e.original_tag.data, e.original_tag.length);
            if (fromText && RemoveWithContent(e)) {
                Add(Offset(e.original_tag.data), Extent(node));
                return;
            }
            if (fromText && RemoveTagOnly(e)) {
                Add(Offset(e.original_tag.data),
                    Offset(e.original_tag.data) + e.original_tag.length);
                if (FromText(e.original_end_tag.data, e.original_end_tag.length))
                    Add(Offset(e.original_end_tag.data),
                        Offset(e.original_end_tag.data) + e.original_end_tag.length);
            }
            // Attributes are looked at on every element: the parser moves the attributes of
            // a stray <html> or <body> tag onto the page's own elements.
            for (unsigned i = 0; i < e.attributes.length; ++i) {
                const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
                if (!FromText(a->original_name.data, a->original_name.length) ||
                    (!IsForbiddenAttribute(e, *a) && NameIsItsSource(*a)))
                    continue;
                size_t begin = Offset(a->original_name.data);
                size_t end = a->original_value.length > 0
                                 ? Offset(a->original_value.data) + a->original_value.length
                                 : begin + a->original_name.length;
                Add(begin, end);
            }
        }
        for (unsigned i = 0; i < children.length; ++i)
            Walk(static_cast<const GumboNode*>(children.data[i]));
    }

    std::vector<Range>& Cuts() { return cuts_; }

private:
    bool FromText(const char* data, size_t length) const {
        return data && length > 0 && data >= buffer_ + kContextLength && data < buffer_ + size_;
    }
    size_t Offset(const char* data) const { return static_cast<size_t>(data - buffer_); }

    // The end of everything a node holds in the source: its tags, text and descendants.
    size_t Extent(const GumboNode* node) const {
        size_t end = 0;
        switch (node->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboElement& e = node->v.element;
            if (FromText(e.original_tag.data, e.original_tag.length))
                end = Offset(e.original_tag.data) + e.original_tag.length;
            if (FromText(e.original_end_tag.data, e.original_end_tag.length))
                end = std::max(end, Offset(e.original_end_tag.data) + e.original_end_tag.length);
            for (unsigned i = 0; i < e.children.length; ++i)
                end = std::max(end, Extent(static_cast<const GumboNode*>(e.children.data[i])));
            break;
        }
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_COMMENT:
        case GUMBO_NODE_WHITESPACE: {
            const GumboText& t = node->v.text;
            if (FromText(t.original_text.data, t.original_text.length))
                end = Offset(t.original_text.data) + t.original_text.length;
            break;
        }
        default:
            break;
        }
        return end;
    }

    void Add(size_t begin, size_t end) {
        begin = std::max(begin, kContextLength);
        end = std::min(end, size_);
        if (begin < end)
            cuts_.emplace_back(begin, end);
    }

    const char* buffer_;
    size_t size_;
    std::vector<Range> cuts_;
};

// One removal round; false when nothing was removed.
bool RemoveOnce(std::string& text) {
    std::string buffer;
    buffer.reserve(kContextLength + text.size());
    buffer.append(kContext, kContextLength);
    buffer += text;
    // Errors are not recorded: the parser copies its whole stack into each one, which takes
    // memory with the square of the nesting depth.
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput* output = gumbo_parse_with_options(&options, buffer.data(), buffer.size());
    if (!output)
        return false;
    CutCollector collector(buffer.data(), buffer.size());
    collector.Walk(output->document);
    gumbo_destroy_output(&options, output);
    std::vector<Range>& cuts = collector.Cuts();
    if (cuts.empty())
        return false;
    std::sort(cuts.begin(), cuts.end());
    std::string out;
    out.reserve(text.size());
    size_t pos = kContextLength;
    for (const Range& cut : cuts) {
        if (cut.first > pos)
            out.append(buffer, pos, cut.first - pos);
        pos = std::max(pos, cut.second);
    }
    if (pos < buffer.size())
        out.append(buffer, pos, std::string::npos);
    text.swap(out);
    return true;
}

std::string EscapeAllMarkup(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else
            out.push_back(c);
    }
    return out;
}

} // namespace

std::string HtmlSanitizer::BreakMarkers(const std::string& text) {
    // Each marker gets a character that keeps its meaning in markup (a blank inside a tag,
    // a character reference in place of a quote) and that no marker contains.
    static const std::pair<const char*, const char*> kMarkers[] = {
        {"</font>", "</font >"},         {"</SPAN>", "</SPAN >"},
        {"<SPAN class", "<SPAN  class"}, {"<SPAN title", "<SPAN  title"},
        {"<DIV class", "<DIV  class"},   {"<IMG class", "<IMG  class"},
        {"<font class", "<font  class"}, {"footer name=\"", "footer name=&quot;"},
        {"<script>", "<script >"}};
    // Most texts hold none: one pass over their '<' tells, without copying them.
    bool found = text.find("footer name=\"") != std::string::npos;
    for (size_t lt = text.find('<'); !found && lt != std::string::npos;
         lt = text.find('<', lt + 1)) {
        const char next = lt + 1 < text.size() ? text[lt + 1] : '\0';
        for (const auto& marker : kMarkers)
            if (marker.first[0] == '<' && marker.first[1] == next &&
                text.compare(lt, std::strlen(marker.first), marker.first) == 0)
                found = true;
    }
    if (!found)
        return text;
    std::string out = text;
    for (const auto& marker : kMarkers) {
        const size_t length = std::strlen(marker.first);
        size_t pos = out.find(marker.first);
        if (pos == std::string::npos)
            continue;
        std::string next;
        next.reserve(out.size() + 16);
        size_t last = 0;
        for (; pos != std::string::npos; pos = out.find(marker.first, last)) {
            next.append(out, last, pos - last);
            next += marker.second;
            last = pos + length;
        }
        next.append(out, last, std::string::npos);
        out.swap(next);
    }
    return out;
}

std::string HtmlSanitizer::Sanitize(const std::string& text) {
    // Without '<' there is no tag and no attribute; only the one marker without '<' can occur.
    if (text.find('<') == std::string::npos)
        return text.find("footer name=\"") == std::string::npos ? text : BreakMarkers(text);
    if (StartTags(text) > kMaxTags)
        return BreakMarkers(EscapeAllMarkup(text));
    if (IsPlainMarkup(text))
        return BreakMarkers(text);
    std::string current = text;
    for (int round = 0; round < kMaxRounds; ++round) {
        std::string next = current;
        bool removed = RemoveOnce(next);
        next = BreakMarkers(next);
        if (!removed && next == current)
            return current;
        current.swap(next);
    }
    return BreakMarkers(EscapeAllMarkup(current));
}

std::string HtmlSanitizer::AttributeValue(const std::string& text) {
    std::string source = "<a title=\"";
    for (char c : text) {
        if (c == '"')
            source += "&quot;";
        else
            source.push_back(c);
    }
    source += "\">";
    GumboOptions options = kGumboDefaultOptions;
    options.fragment_context = GUMBO_TAG_DIV;
    GumboOutput* output = gumbo_parse_with_options(&options, source.data(), source.size());
    if (!output)
        return text;
    std::string value = text;
    const GumboNode* root = output->root;
    if (root->type == GUMBO_NODE_ELEMENT && root->v.element.children.length > 0) {
        const auto* a = static_cast<const GumboNode*>(root->v.element.children.data[0]);
        if (a->type == GUMBO_NODE_ELEMENT) {
            const GumboAttribute* title = gumbo_get_attribute(&a->v.element.attributes, "title");
            if (title)
                value = title->value;
        }
    }
    gumbo_destroy_output(&options, output);
    return value;
}
