// A settings file holding any bytes: every key read, one written and read back; and the
// code-page conversions on the same bytes.
#include "FuzzSupport.h"
#include "platform/CodePage.h"
#include "platform/ProfileFile.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Input(data, size);
    const std::string path = FuzzFolder() + "Quorvel.ini";
    WriteBytes(path, bytes);
    const std::wstring file = platform::Utf8ToWide(path);
    for (const wchar_t* key : {L"ThreadNum", L"LinkTime", L"UserName", L"UserPassword"})
        platform::ProfileFile::ReadString(file, L"Common", key, L"default");
    if (platform::ProfileFile::WriteString(file, L"Common", L"LinkTime", L"42") &&
        platform::ProfileFile::ReadString(file, L"Common", L"LinkTime", L"") != L"42")
        std::abort(); // a write that reports success must be read back
    // Conversions: the first line names an encoding, the rest is converted from it.
    const size_t line = bytes.find('\n');
    const std::string name = bytes.substr(0, line == std::string::npos ? 0 : line);
    const std::string text = line == std::string::npos ? bytes : bytes.substr(line + 1);
    std::string out;
    platform::ConvertEncoding(text, name.c_str(), "UTF-8", out);
    platform::NativeToUtf8(text);
    platform::Utf8ToNative(text);
    platform::WideToUtf8(platform::Utf8ToWide(text));
    return 0;
}
