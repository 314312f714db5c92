#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <list>
#include <memory>

namespace platform {

const char* const kNativeCodePage = "GB18030";

namespace {

// The UTF-8 bytes of one code point (below 0x110000) written at out; their count.
size_t EncodeUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

} // namespace

void AppendUtf8(std::string& out, char32_t c) {
    char bytes[4];
    out.append(bytes, EncodeUtf8(c, bytes));
}

namespace {

// Cached conversion descriptors per thread and direction; iconv_open is costly. Feeds name
// their own encodings, so the cache is bounded: names iconv does not know are never kept,
// and past kMaxEntries the least recently used descriptor is closed.
class IconvCache {
public:
    static const size_t kMaxEntries = 16;

    ~IconvCache() {
        for (auto& entry : handles_)
            iconv_close(entry.handle);
    }
    iconv_t Get(const std::string& from, const std::string& to) {
        const std::string key = from + "|" + to;
        for (auto it = handles_.begin(); it != handles_.end(); ++it) {
            if (it->key != key)
                continue;
            iconv(it->handle, nullptr, nullptr, nullptr, nullptr);
            handles_.splice(handles_.begin(), handles_, it); // most recently used first
            return handles_.front().handle;
        }
        iconv_t handle = iconv_open(to.c_str(), from.c_str());
        if (handle == reinterpret_cast<iconv_t>(-1))
            return handle;
        if (handles_.size() >= kMaxEntries) {
            iconv_close(handles_.back().handle);
            handles_.pop_back();
        }
        handles_.push_front(Entry{key, handle});
        return handle;
    }
    size_t Size() const { return handles_.size(); }

private:
    struct Entry {
        std::string key;
        iconv_t handle;
    };
    std::list<Entry> handles_;
};

thread_local IconvCache iconvCache;

} // namespace

size_t CachedConverterCount() {
    return iconvCache.Size();
}

namespace {

// Runs iconv over the whole input; an unconvertible or invalid sequence is replaced by
// `replacement` and skipped (one byte, or one UTF-8 character when the input is UTF-8).
bool RunIconv(const std::string& input, const char* from, const char* to,
              const std::string& replacement, bool inputIsUtf8, std::string& out) {
    out.clear();
    if (input.empty())
        return iconvCache.Get(from, to) != reinterpret_cast<iconv_t>(-1);
    iconv_t cd = iconvCache.Get(from, to);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string buffer(input.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t used = 0;
    while (inLeft > 0) {
        char* outPtr = &buffer[used];
        size_t outLeft = buffer.size() - used;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = buffer.size() - outLeft;
        if (rc != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: replace one character and go on.
        if (buffer.size() - used < replacement.size() + 16)
            buffer.resize(buffer.size() * 2 + replacement.size());
        buffer.replace(used, replacement.size(), replacement);
        used += replacement.size();
        size_t skip = 1;
        if (inputIsUtf8 && errno == EILSEQ) {
            unsigned char lead = static_cast<unsigned char>(*in);
            if (lead >= 0xF0)
                skip = 4;
            else if (lead >= 0xE0)
                skip = 3;
            else if (lead >= 0xC0)
                skip = 2;
            // Only skip bytes that really continue the sequence.
            size_t n = 1;
            while (n < skip && n < inLeft && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80)
                ++n;
            skip = n;
        }
        if (skip > inLeft)
            skip = inLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state.
    for (;;) {
        char* outPtr = &buffer[used];
        size_t outLeft = buffer.size() - used;
        size_t rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        used = buffer.size() - outLeft;
        if (rc != static_cast<size_t>(-1) || errno != E2BIG)
            break;
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(used);
    out.swap(buffer);
    return true;
}

} // namespace

std::wstring Utf8ToWide(const std::string& utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
            min = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + static_cast<size_t>(extra) < n;
        for (int k = 1; ok && k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            while (i < n && (p[i] & 0xC0) == 0x80)
                ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += extra + 1;
    }
    return out;
}

std::string WideToUtf8(const std::wstring& wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t w : wide) {
        auto c = static_cast<char32_t>(w);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            out.push_back('?');
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string NativeToUtf8(const std::string& native) {
    std::string out;
    if (!RunIconv(native, kNativeCodePage, "UTF-8", "\xEF\xBF\xBD", false, out))
        return native;
    return out;
}

std::string Utf8ToNative(const std::string& utf8) {
    std::string out;
    if (!RunIconv(utf8, "UTF-8", kNativeCodePage, "?", true, out))
        return utf8;
    return out;
}

std::wstring NativeToWide(const std::string& native) {
    return Utf8ToWide(NativeToUtf8(native));
}

std::string WideToNative(const std::wstring& wide) {
    return Utf8ToNative(WideToUtf8(wide));
}

std::u16string WideToUtf16(const std::wstring& wide) {
    std::u16string out;
    out.reserve(wide.size());
    for (wchar_t w : wide) {
        auto c = static_cast<char32_t>(w);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else if (c > 0x10FFFF) {
            out.push_back(u'?');
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::wstring Utf16ToWide(const std::u16string& utf16) {
    std::wstring out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char16_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(utf16[i + 1]) - 0xDC00);
            out.push_back(static_cast<wchar_t>(cp));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool ConvertEncoding(const std::string& input, const char* from, const char* to, std::string& out) {
    return RunIconv(input, from, to, "?", false, out);
}

namespace {

// The code point, or U+FFFD for a character XML does not allow.
char32_t AllowedInXml(unsigned long code) {
    if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') ||
        (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF)
        return 0xFFFD;
    return static_cast<char32_t>(code);
}

} // namespace

namespace {

// Whether text[at, end) starts with the `length` bytes of rest.
bool StartsWith(const char* text, size_t at, size_t end, const char* rest, size_t length) {
    return end - at >= length && std::memcmp(text + at, rest, length) == 0;
}

} // namespace

size_t DecodeXmlReference(const char* text, size_t amp, size_t end, char* out, size_t& written) {
    // The character after '&' picks the entities that can stand there.
    written = 1;
    const size_t name = amp + 1;
    static const struct {
        const char* rest;
        size_t length;
        char value;
    } kNamed[] = {
        {"lt;", 3, '<'}, {"gt;", 3, '>'}, {"amp;", 4, '&'}, {"apos;", 5, '\''}, {"quot;", 5, '"'}};
    const char first = name < end ? text[name] : '\0';
    for (const auto& named : kNamed) {
        if (first == named.rest[0] && StartsWith(text, name, end, named.rest, named.length)) {
            out[0] = named.value;
            return name + named.length;
        }
    }
    if (first == '#' && amp + 2 < end) {
        size_t p = amp + 2;
        const bool hex = text[p] == 'x' || text[p] == 'X';
        if (hex)
            ++p;
        const size_t digits = p;
        unsigned long code = 0;
        for (; p < end && p - digits < 8; ++p) {
            const char d = text[p];
            const int v = hex ? HexDigitValue(d) : d >= '0' && d <= '9' ? d - '0' : -1;
            if (v < 0)
                break;
            code = code * (hex ? 16 : 10) + static_cast<unsigned long>(v);
        }
        if (p > digits && p < end && text[p] == ';') {
            written = EncodeUtf8(AllowedInXml(code), out);
            return p + 1;
        }
    }
    out[0] = '&';
    return name;
}

size_t DecodeXmlReference(const std::string& text, size_t amp, size_t end, std::string& out) {
    char decoded[4];
    size_t written = 0;
    const size_t next =
        DecodeXmlReference(text.data(), amp, std::min(end, text.size()), decoded, written);
    out.append(decoded, written);
    return next;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(const std::string& text) {
    if (text.find('%') == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        int high, low;
        if (text[i] == '%' && i + 2 < text.size() && (high = HexDigitValue(text[i + 1])) >= 0 &&
            (low = HexDigitValue(text[i + 2])) >= 0) {
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace platform
