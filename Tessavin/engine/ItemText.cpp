#include "engine/ItemText.h"

#include "config/DateTime.h"
#include "engine/HtmlSanitizer.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"
#include "platform/Format.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

const char* const ItemText::kInvalidHtml = "Invalid html tag, can't parse the content";

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = UpperAscii(c);
    return s;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

bool IsVoidTag(std::string_view name) {
    static const char* const kNames[] = {"IMG", "BR", "HR", "IFRAME", "PARAM", "INPUT"};
    for (const char* n : kNames)
        if (SameIgnoringAsciiCase(name, n))
            return true;
    return false;
}

bool IsValidUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size(), i = 0;
    while (i < n) {
        // Runs of ASCII, eight bytes at a time.
        while (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string Part(const std::string& s, size_t pos, size_t length) {
    if (pos >= s.size())
        return std::string();
    return s.substr(pos, length);
}

bool AllDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Whether the pattern stands at pos.
bool At(const std::string& text, size_t pos, std::string_view pattern) {
    return text.size() - pos >= pattern.size() &&
           std::memcmp(text.data() + pos, pattern.data(), pattern.size()) == 0;
}

} // namespace

std::string ItemText::ReplaceEntities(std::string text) {
    // The replacements are defined as passes over the whole text, in this order:
    //   1. "&#34;" and "&quot;" to '"'      2. "&#38;" to '&'     3. "&amp;" to '&'
    //   4. "&#60;", "&lt;" to '<', "&#62;", "&gt;" to '>'         5. "&nbsp;" removed
    //   6. "&lt;" to '<' once more, where 5 joined one together or one is left.
    // Every pattern runs from its '&' to its ';' with no '&' between, so through passes
    // 1-5 each '&' of the text evolves alone: passes 2 and 3 leave an '&' before the rest
    // of its text, which the later passes then read. One walk over the '&' does 1-5.
    size_t read = text.find('&');
    if (read == std::string::npos)
        return text;
    size_t write = read;
    bool joined = false;
    while (read < text.size()) {
        if (text[read] != '&') {
            const size_t amp = text.find('&', read);
            const size_t stop = amp == std::string::npos ? text.size() : amp;
            if (write != read)
                std::memmove(&text[write], &text[read], stop - read);
            write += stop - read;
            read = stop;
            continue;
        }
        size_t k = read + 1; // the text after this '&'
        char out = '&';
        if (At(text, k, "#34;") || At(text, k, "quot;")) {
            out = '"';
            k += text[k] == '#' ? 4 : 5;
        } else {
            if (At(text, k, "#38;"))
                k += 4;
            if (At(text, k, "amp;"))
                k += 4;
            if (At(text, k, "#60;") || At(text, k, "lt;")) {
                out = '<';
                k += text[k] == '#' ? 4 : 3;
            } else if (At(text, k, "#62;") || At(text, k, "gt;")) {
                out = '>';
                k += text[k] == '#' ? 4 : 3;
            } else if (At(text, k, "nbsp;")) {
                out = '\0';
                k += 5;
                joined = true;
            }
        }
        if (out)
            text[write++] = out;
        read = k;
    }
    text.resize(write);
    if (joined || text.find("&lt;") != std::string::npos) {
        // Pass 6.
        size_t w = 0;
        for (size_t r = 0; r < text.size();) {
            if (text[r] == '&' && At(text, r, "&lt;")) {
                text[w++] = '<';
                r += 4;
            } else {
                text[w++] = text[r++];
            }
        }
        text.resize(w);
    }
    return text;
}

bool ItemText::TagCheck(const std::string& html) {
    // Works on bytes: '<', '>', '/' and ' ' never occur inside a multi-byte character of
    // UTF-8 or the native code page, and tag names compare by ASCII case only.
    std::vector<std::string_view> stack;
    const std::string_view text(html);
    size_t pos = 0;
    for (;;) {
        size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos)
            break;
        size_t gt = text.find('>', lt);
        if (gt == std::string_view::npos)
            return false;
        std::string_view tag = text.substr(lt + 1, gt - lt - 1);
        if (tag.empty())
            return false;
        if (text[gt - 1] == '/' && tag.size() > 1) {
            // self-closing
        } else if (tag[0] == '/' && tag.size() > 1) {
            std::string_view name = tag.substr(1);
            while (!name.empty() && name.back() == ' ')
                name.remove_suffix(1);
            if (stack.empty())
                return false;
            std::string_view popped = stack.back();
            stack.pop_back();
            if (name != popped) {
                while (IsVoidTag(popped) && !stack.empty()) {
                    popped = stack.back();
                    stack.pop_back();
                }
                if (!SameIgnoringAsciiCase(name, popped))
                    return false;
            }
        } else {
            std::string_view name = tag.substr(0, tag.find(' '));
            if (name.empty())
                return false;
            stack.push_back(name);
        }
        pos = gt + 1;
    }
    for (std::string_view name : stack)
        if (!IsVoidTag(name))
            return false;
    return true;
}

std::string ItemText::PrepareDescription(const std::string& raw, PageEncoding page) {
    std::string text = raw;
    const bool utf8 = page == PageEncoding::kUtf8;
    // For valid UTF-8 the round trip through GB18030 is the identity; only invalid
    // sequences need it (they become '?').
    const bool roundTrip = utf8 && !IsValidUtf8(text);
    if (roundTrip)
        text = platform::Utf8ToNative(text);
    text = ReplaceEntities(std::move(text));
    if (!TagCheck(text))
        text = kInvalidHtml;
    if (roundTrip)
        text = platform::NativeToUtf8(text);
    return text;
}

std::string ItemText::PrepareMarkup(const std::string& html) {
    std::string text = html;
    const bool roundTrip = !IsValidUtf8(text);
    if (roundTrip)
        text = platform::Utf8ToNative(text);
    if (!TagCheck(text))
        text = kInvalidHtml;
    if (roundTrip)
        text = platform::NativeToUtf8(text);
    return text;
}

std::string ItemText::DisplayDate(const std::string& raw) {
    if (raw.find("GMT") == std::string::npos)
        return raw;
    std::string day = Part(raw, 5, 2);
    std::string month, year, time;
    if (!day.empty() && std::atoi(day.c_str()) < 10 && day[0] != '0') {
        day = "0" + Part(raw, 5, 1);
        month = Part(raw, 7, 3);
        year = Part(raw, 11, 4);
        time = Part(raw, 16, 8);
    } else {
        month = Part(raw, 8, 3);
        year = Part(raw, 12, 4);
        time = Part(raw, 17, 8);
    }
    static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    static const char* const kNumbers[] = {"01", "02", "03", "04", "05", "06",
                                           "07", "08", "09", "10", "11", "12"};
    std::string upper = Upper(month);
    for (int i = 0; i < 12; ++i)
        if (upper == kMonths[i])
            month = kNumbers[i];
    const std::string composed = year + month + day + time;
    const std::string y = Part(composed, 0, 4), mo = Part(composed, 4, 2), d = Part(composed, 6, 2),
                      h = Part(composed, 8, 2), mi = Part(composed, 11, 2),
                      s = Part(composed, 14, 2);
    if (!AllDigits(y) || !AllDigits(mo) || !AllDigits(d) || !AllDigits(h) || !AllDigits(mi) ||
        !AllDigits(s))
        return composed;
    const int year4 = std::atoi(y.c_str()), mon = std::atoi(mo.c_str()), dd = std::atoi(d.c_str()),
              hh = std::atoi(h.c_str()), mm = std::atoi(mi.c_str()), ss = std::atoi(s.c_str());
    if (DateFromFields(year4, mon, dd, hh, mm, ss).status != DateStatus::kValid)
        return composed;
    int64_t seconds =
        DaysFromCivil(year4, static_cast<unsigned>(mon), static_cast<unsigned>(dd)) * 86400 +
        hh * 3600 + mm * 60 + ss;
    if (seconds < 0)
        return composed;
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return composed;
    // The local hour and minute of the instant; separators and seconds as the feed wrote them.
    std::string shown = std::to_string(local.tm_year + 1900);
    auto two = [&shown](int value) {
        shown.push_back(static_cast<char>('0' + value / 10 % 10));
        shown.push_back(static_cast<char>('0' + value % 10));
    };
    shown.push_back('-');
    two(local.tm_mon + 1);
    shown.push_back('-');
    two(local.tm_mday);
    shown.push_back(' ');
    two(local.tm_hour);
    shown.push_back(composed[10]);
    two(local.tm_min);
    shown.push_back(composed[13]);
    shown += s;
    return shown;
}

std::string ItemText::CleanLink(const std::string& raw) {
    size_t b = raw.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
    size_t e = raw.find_last_not_of(" \t\r\n");
    std::string link;
    link.reserve(e - b + 1);
    for (size_t i = b; i <= e; ++i)
        if (raw[i] != '\r' && raw[i] != '\n')
            link.push_back(raw[i]);
    return link;
}

std::string ItemText::LinkValue(const std::string& link, bool native) {
    const std::string text = native ? platform::NativeToUtf8(link) : link;
    return text.find('&') == std::string::npos ? text : HtmlSanitizer::AttributeValue(text);
}

std::string ItemText::LinkForPage(const std::string& link, bool native) {
    // The browser decodes the attribute's character references, then percent-decodes the
    // javascript: address, then runs it. The link is first taken as the browser reads it
    // from an attribute, then written so that after both decodings the argument is a
    // script string literal whose value is exactly that.
    return ValueForPage(LinkValue(link, native), native);
}

std::string ItemText::ValueForPage(const std::string& value, bool native) {
    std::string out;
    out.reserve(value.size() + 8);
    auto escapeAscii = [&out](unsigned char c) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '%':
            out += "%25";
            break;
        case '\'':
            out += "\\'";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '"':
        case '<':
        case '>':
        case ' ':
            out += platform::FormatA("%%%02X", c);
            break;
        default:
            if (c < 0x20 || c == 0x7F)
                out += platform::FormatA("\\x%02X", c);
            else
                out.push_back(static_cast<char>(c));
        }
    };
    if (!native) {
        for (unsigned char c : value)
            if (c < 0x80)
                escapeAscii(c);
            else
                out.push_back(static_cast<char>(c));
        return out;
    }
    // A native page is read as GB18030, where a lead byte would swallow the backslash that
    // follows it: the link is written in ASCII only, characters beyond it as \uXXXX.
    for (wchar_t c : platform::Utf8ToWide(value)) {
        const auto code = static_cast<uint32_t>(c);
        if (code < 0x80) {
            escapeAscii(static_cast<unsigned char>(code));
        } else if (code < 0x10000) {
            out += platform::FormatA("\\u%04X", code);
        } else {
            const uint32_t v = code - 0x10000;
            out += platform::FormatA("\\u%04X\\u%04X", 0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF));
        }
    }
    return out;
}

std::string ItemText::ShownSize(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > 18 ||
        bytes.find_first_not_of("0123456789") != std::string::npos)
        return std::string();
    const double size = std::strtod(bytes.c_str(), nullptr);
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    if (size < 1024)
        return bytes + " bytes";
    double shown = size / 1024;
    size_t unit = 0;
    while (shown >= 1024 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
        shown /= 1024;
        ++unit;
    }
    return platform::FormatA("%.1f %s", shown, kUnits[unit]);
}

std::string ItemText::EnclosureLinks(const std::vector<Enclosure>& enclosures) {
    std::string out;
    std::vector<std::string> shown;
    for (const Enclosure& e : enclosures) {
        const std::string url = CleanLink(e.url);
        if (!WebAddress::IsWebLink(url) ||
            std::find(shown.begin(), shown.end(), url) != shown.end())
            continue;
        shown.push_back(url);
        // The type as the document names it, printable ASCII only.
        std::string type;
        for (char c : e.type)
            if (c > ' ' && c < 0x7F)
                type.push_back(c);
        const std::string size = ShownSize(e.length);
        std::string text = type.empty() ? size : size.empty() ? type : type + ", " + size;
        if (text.empty())
            text = url;
        out += "<p><a href=\"" + HtmlSanitizer::Escape(url) + "\">" + HtmlSanitizer::Escape(text) +
               "</a></p>";
    }
    return out;
}
