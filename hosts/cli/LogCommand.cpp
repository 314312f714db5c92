#include "LogCommand.h"

#include "Session.h"
#include "UsageError.h"
#include "config/Folders.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <charconv>

int LogCommand::Run(Session& session, const std::vector<std::string>& args) {
    auto options = Session::Options(args, 0, {"--lines"});
    long lines = -1;
    if (options.count("--lines")) {
        const std::string& text = options["--lines"];
        auto parsed = std::from_chars(text.data(), text.data() + text.size(), lines);
        if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
            lines < 0)
            throw UsageError{"--lines needs a number"};
    }
    const std::filesystem::path folder = platform::WideToUtf8(GetAppDirectory()) + "RssConfig/Log";
    const std::filesystem::path newest = Newest(folder);
    if (newest.empty())
        return session.Refuse("no log file in " + folder.string() + " (run a command with --log)");
    std::string bytes;
    platform::ReadWholeFile(platform::Utf8ToWide(newest.string()), bytes);
    session.Out() << LastLines(Decode(bytes), lines);
    return 0;
}

std::filesystem::path LogCommand::Newest(const std::filesystem::path& folder) {
    std::filesystem::path newest;
    std::filesystem::file_time_type newestTime;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".log")
            continue;
        auto time = entry.last_write_time();
        if (newest.empty() || time > newestTime) {
            newest = entry.path();
            newestTime = time;
        }
    }
    return newest;
}

std::string LogCommand::Decode(const std::string& bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit != u'\r')
            units.push_back(unit);
    }
    std::wstring text = platform::Utf16ToWide(units);
    // Utf16ToWide makes a lone surrogate U+FFFD; this output has always shown it as '?'.
    size_t unit = 0;
    for (wchar_t& c : text) {
        if (c == 0xFFFD && units[unit] >= 0xD800 && units[unit] <= 0xDFFF)
            c = L'?';
        unit += c >= 0x10000 ? 2 : 1;
    }
    return platform::WideToUtf8(text);
}

std::string LogCommand::LastLines(const std::string& text, long lines) {
    if (lines < 0)
        return text;
    if (lines == 0)
        return std::string();
    size_t pos = text.size();
    if (pos > 0 && text[pos - 1] == '\n')
        --pos;
    for (long i = 0; i < lines && pos != std::string::npos && pos > 0; ++i)
        pos = text.rfind('\n', pos - 1);
    return pos == std::string::npos || pos == 0 ? text : text.substr(pos + 1);
}
