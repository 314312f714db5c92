#include "search/IndexText.h"

#include "platform/CodePage.h"

namespace {

// The names of the entities U+00A0 to U+00FF, in order.
const char* const kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

const struct {
    const char* name;
    char32_t value;
} kOtherNames[] = {{"OElig", 0x152},   {"oelig", 0x153},  {"Scaron", 0x160},  {"scaron", 0x161},
                   {"Yuml", 0x178},    {"fnof", 0x192},   {"circ", 0x2C6},    {"tilde", 0x2DC},
                   {"ensp", 0x2002},   {"emsp", 0x2003},  {"thinsp", 0x2009}, {"zwnj", 0x200C},
                   {"zwj", 0x200D},    {"lrm", 0x200E},   {"rlm", 0x200F},    {"ndash", 0x2013},
                   {"mdash", 0x2014},  {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"sbquo", 0x201A},
                   {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"bdquo", 0x201E},  {"dagger", 0x2020},
                   {"Dagger", 0x2021}, {"bull", 0x2022},  {"hellip", 0x2026}, {"permil", 0x2030},
                   {"prime", 0x2032},  {"Prime", 0x2033}, {"lsaquo", 0x2039}, {"rsaquo", 0x203A},
                   {"euro", 0x20AC},   {"trade", 0x2122}, {"larr", 0x2190},   {"rarr", 0x2192}};

// Elements that do not break a word: "<b>Tes</b>savin" reads as one word.
const char* const kInline[] = {"a",   "abbr", "b",    "bdi",   "bdo",  "big",    "cite",   "code",
                               "del", "dfn",  "em",   "font",  "i",    "ins",    "kbd",    "mark",
                               "q",   "s",    "samp", "small", "span", "strike", "strong", "sub",
                               "sup", "time", "tt",   "u",     "var",  "wbr"};

bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// A named entity "&name;" at html[amp]: appends its character, returns the position after it;
// 0 when there is none.
size_t DecodeNamed(const std::string& html, size_t amp, std::string& out) {
    size_t end = amp + 1;
    while (end < html.size() && end - amp <= 8 && IsAsciiAlnum(html[end]))
        ++end;
    if (end >= html.size() || html[end] != ';' || end == amp + 1)
        return 0;
    const std::string name = html.substr(amp + 1, end - amp - 1);
    if (name == "shy")
        return end + 1; // a soft hyphen joins the parts of a word
    for (size_t i = 0; i < 96; ++i) {
        if (name == kLatin1Names[i]) {
            platform::AppendUtf8(out, static_cast<char32_t>(0xA0 + i));
            return end + 1;
        }
    }
    for (const auto& entity : kOtherNames) {
        if (name == entity.name) {
            platform::AppendUtf8(out, entity.value);
            return end + 1;
        }
    }
    return 0;
}

// The end of "</name" ... '>' from `from` on (name lower case); npos when there is none.
size_t FindClosingTag(const std::string& html, size_t from, const std::string& name) {
    for (size_t p = html.find("</", from); p != std::string::npos; p = html.find("</", p + 2)) {
        size_t i = 0;
        while (i < name.size() && p + 2 + i < html.size() && Lower(html[p + 2 + i]) == name[i])
            ++i;
        if (i == name.size() && (p + 2 + i == html.size() || !IsAsciiAlnum(html[p + 2 + i]))) {
            const size_t close = html.find('>', p);
            return close == std::string::npos ? close : close + 1;
        }
    }
    return std::string::npos;
}

void Separate(std::string& out) {
    if (!out.empty() && out.back() != ' ')
        out.push_back(' ');
}

} // namespace

std::string IndexText::FromHtml(const std::string& html) {
    std::string out;
    out.reserve(html.size());
    const size_t n = html.size();
    size_t i = 0;
    while (i < n) {
        const char c = html[i];
        if (c == '&') {
            const size_t after = platform::DecodeXmlReference(html, i, n, out);
            if (after != i + 1) {
                i = after;
                continue;
            }
            out.pop_back(); // the '&' of no XML reference: perhaps an HTML one
            const size_t named = DecodeNamed(html, i, out);
            if (named) {
                i = named;
            } else {
                out.push_back('&');
                ++i;
            }
            continue;
        }
        if (c != '<') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0) {
            const size_t end = html.find("-->", i + 4);
            i = end == std::string::npos ? n : end + 3;
            Separate(out);
            continue;
        }
        size_t p = i + 1;
        const bool closing = p < n && html[p] == '/';
        if (closing)
            ++p;
        std::string name;
        while (p < n && IsAsciiAlnum(html[p]))
            name.push_back(Lower(html[p++]));
        if (name.empty()) { // not a tag: the text's own '<'
            out.push_back(c);
            ++i;
            continue;
        }
        // The tag's end, past any '>' inside quoted attribute values.
        char quote = 0;
        while (p < n && (quote || html[p] != '>')) {
            if (quote && html[p] == quote)
                quote = 0;
            else if (!quote && (html[p] == '"' || html[p] == '\''))
                quote = html[p];
            ++p;
        }
        i = p < n ? p + 1 : n;
        if (!closing && (name == "script" || name == "style")) {
            const size_t end = FindClosingTag(html, i, name);
            i = end == std::string::npos ? n : end;
        }
        bool isInline = false;
        for (const char* tag : kInline)
            isInline = isInline || name == tag;
        if (!isInline)
            Separate(out);
    }
    return out;
}
