#pragma once

#include <cstdarg>
#include <string>

namespace platform {

// printf-style formatting of wide texts with the Windows meaning of the conversions:
// %s and %c take wide arguments (const wchar_t*, wchar_t), %S and %C narrow ones; %ls,
// %hs and the other standard conversions keep their usual meaning. Every wide format of
// the module goes through here; nothing calls swprintf with %s directly.
std::wstring FormatW(const wchar_t* format, ...);
std::wstring VFormatW(const wchar_t* format, va_list args);

// printf-style formatting of byte texts (standard meaning).
std::string FormatA(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The format with the Windows conversions rewritten for the C library.
std::wstring TranslateWideFormat(const wchar_t* format);

} // namespace platform
