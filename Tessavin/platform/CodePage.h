#pragma once

#include <string>

namespace platform {

// The native ("ANSI") code page of the module: GB18030, a lossless superset of GBK.
extern const char* const kNativeCodePage;

// Wide texts are std::wstring (UTF-32 on Linux); byte texts are std::string.
// Invalid input never fails a conversion: undecodable bytes become U+FFFD when
// decoding to wide, and characters that a byte encoding cannot hold become '?'.
std::wstring Utf8ToWide(const std::string& utf8);
// Appends the UTF-8 bytes of one code point (below 0x110000).
void AppendUtf8(std::string& out, char32_t c);
// The reference at text[amp] ('&', amp < end), appended decoded as UTF-8: one of the five
// XML entities, or "&#" decimal or "&#x" (or "&#X") hex digits, at most 8, and ';'. Returns
// the position after it; anything else is no reference: '&' is appended, amp + 1 returned.
// A character XML does not allow (NUL, the other controls but tab, LF and CR, surrogates,
// U+FFFE, U+FFFF, anything beyond U+10FFFF) becomes U+FFFD. Both XML readers use it.
size_t DecodeXmlReference(const std::string& text, size_t amp, size_t end, std::string& out);
// The same reading of text[amp, end) into a buffer of at least 4 bytes: the decoded bytes
// are written at out and counted in written.
size_t DecodeXmlReference(const char* text, size_t amp, size_t end, char* out, size_t& written);
std::string WideToUtf8(const std::wstring& wide);
std::wstring NativeToWide(const std::string& native);
std::string WideToNative(const std::wstring& wide);
std::string NativeToUtf8(const std::string& native);
std::string Utf8ToNative(const std::string& utf8);

// UTF-16 (code units) for the on-disk formats that store UTF-16LE.
std::u16string WideToUtf16(const std::wstring& wide);
std::wstring Utf16ToWide(const std::u16string& utf16);

// Converts between any two encodings iconv knows. False when iconv does not know one of
// the names; otherwise out holds the converted text (unconvertible bytes become '?').
bool ConvertEncoding(const std::string& input, const char* from, const char* to, std::string& out);

// Lower-case ASCII letters; other bytes stay.
std::string AsciiLower(std::string text);
// The value of a hex digit, -1 for anything else.
int HexDigitValue(char c);
// "%HH" sequences decoded to their bytes; a '%' without two hex digits stays as it is.
std::string PercentDecode(const std::string& text);
// How many conversion descriptors this thread keeps open (bounded; for tests).
size_t CachedConverterCount();

} // namespace platform
