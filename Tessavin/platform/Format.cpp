#include "platform/Format.h"

#include <cwchar>
#include <vector>

namespace platform {

std::wstring TranslateWideFormat(const wchar_t* format) {
    std::wstring out;
    if (!format)
        return out;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        out.push_back(*p++);
        if (*p == L'%') {
            out.push_back(*p++);
            continue;
        }
        // Flags, width, precision.
        while (*p && std::wcschr(L"-+ #0'123456789.*", *p))
            out.push_back(*p++);
        // Length modifiers.
        bool hasLength = false;
        bool narrow = false;
        while (*p && std::wcschr(L"hlLqjzt", *p)) {
            hasLength = true;
            if (*p == L'h')
                narrow = true;
            if (*p != L'h')
                out.push_back(*p);
            ++p;
        }
        if (!*p)
            break;
        wchar_t conv = *p++;
        switch (conv) {
        case L's':
        case L'c':
            if (narrow) {
                out.push_back(conv); // %hs: narrow
            } else {
                if (!hasLength)
                    out.push_back(L'l');
                out.push_back(conv);
            }
            break;
        case L'S':
            out.push_back(L's');
            break;
        case L'C':
            out.push_back(L'c');
            break;
        default:
            if (narrow)
                out.push_back(L'h');
            out.push_back(conv);
            break;
        }
    }
    return out;
}

std::wstring VFormatW(const wchar_t* format, va_list args) {
    std::wstring translated = TranslateWideFormat(format);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), translated.c_str(), copy);
        va_end(copy);
        if (n >= 0)
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        // vswprintf reports both a small buffer and a conversion error as -1.
        if (buffer.size() >= (1u << 22))
            return translated;
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring FormatW(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring result = VFormatW(format, args);
    va_end(args);
    return result;
}

std::string FormatA(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (n > 0) {
        result.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(&result[0], result.size(), format, args);
        result.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return result;
}

} // namespace platform
