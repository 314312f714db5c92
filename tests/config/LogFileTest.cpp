#include "config/LogFile.h"
#include "TempDir.h"
#include "config/Config.h"
#include "config/DateTime.h"
#include "platform/CodePage.h"
#include "platform/ResourceModule.h"

#include <cstdarg>
#include <cwctype>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

void Log(CLogFile& log, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    log.WriteLine(format, args);
    va_end(args);
}

std::wstring ReadUtf16(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return platform::Utf16ToWide(units);
}

std::string Today() {
    std::wstring d = FormatNow(L"%Y%m%d");
    return std::string(d.begin(), d.end());
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        resources =
            platform::ResourceModule::Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/res"));
        ASSERT_TRUE(resources);
        platform::ResourceModule::SetActive(resources.get());
        resources->LoadString(CLogFile::kBannerA, bannerA, 199);
        resources->LoadString(CLogFile::kBannerB, bannerB, 199);
        MakeFolders(app / "rss/RssUserCfg");
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
    }
    void TearDown() override {
        loggingOn = 0;
        platform::ResourceModule::SetActive(nullptr);
    }
    std::wstring Banner() const { return bannerA + L"\r\n\r\n" + bannerB + L"\r\n"; }
    std::string LogPath(int number) const {
        return app / ("RssConfig/Log/" + Today() + "_" + std::to_string(number) + ".log");
    }

    TempDir app;
    std::unique_ptr<platform::ResourceModule> resources;
    std::wstring bannerA, bannerB;
};

// "[YYYY-MM-DD HH:MM:SS] " at the start of text.
bool HasStamp(const std::wstring& text) {
    const std::wstring shape = L"[0000-00-00 00:00:00] ";
    if (text.size() < shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = shape[i] == L'0';
        if (digit ? !iswdigit(text[i]) : text[i] != shape[i])
            return false;
    }
    return true;
}

// The lines of a log text (each ended by CR LF) without their time stamps; a line
// without a stamp comes out as "<no stamp>".
std::vector<std::wstring> Messages(const std::wstring& text) {
    std::vector<std::wstring> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        out.push_back(HasStamp(line) ? line.substr(22) : L"<no stamp>");
        start = end + 2;
    }
    return out;
}

} // namespace

TEST_F(LogFileTest, LoggingOffLeavesNoTrace) {
    loggingOn = 0;
    LogPrintf(L"nothing %s", L"here");
    EXPECT_FALSE(Exists(app / "RssConfig"));
}

TEST_F(LogFileTest, FirstLineOpensTheNextNamedFileWithBannerAndCutsLongMessages) {
    WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini",
                   "[Common]\r\nLogName=" + Today() + "_3.log\r\n");
    CLogFile log;
    EXPECT_EQ(log.SizeLimit(), 2097152u);
    loggingOn = 1;
    Log(log, L"Begin to update channel %s ", L"\u4E2D\u6587");
    Log(log, L"%s", std::wstring(2000, L'x').c_str());
    std::wstring text = ReadUtf16(LogPath(4));
    ASSERT_EQ(text.rfind(Banner(), 0), 0u);
    std::wstring lines = text.substr(Banner().size());
    EXPECT_EQ(lines.substr(lines.size() - 2), L"\r\n");
    EXPECT_EQ(Messages(lines), (std::vector<std::wstring>{L"Begin to update channel \u4E2D\u6587 ",
                                                          std::wstring(1023, L'x')}));
}

TEST_F(LogFileTest, RotatesAtTheLimitWithBannerAndStoredNumberPlusTwo) {
    WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini",
                   "[Common]\r\nLogName=" + Today() + "_3.log\r\n");
    CLogFile log;
    loggingOn = 1;
    const std::wstring message(1000, L'm');
    int lines = 0;
    while (!Exists(LogPath(5)) && lines < 5000) {
        Log(log, L"%d %s", lines, message.c_str());
        ++lines;
    }
    ASSERT_TRUE(Exists(LogPath(5)));
    // The line that crossed the limit stays in the old file.
    std::string old = ReadFileBytes(LogPath(4));
    EXPECT_GE(old.size(), 2097152u);
    EXPECT_LT(old.size() - 2 * (1000 + 30), 2097152u);
    std::wstring oldText = ReadUtf16(LogPath(4));
    EXPECT_NE(oldText.find(std::to_wstring(lines - 1) + L" " + message + L"\r\n"),
              std::wstring::npos);
    EXPECT_EQ(ReadUtf16(LogPath(5)), Banner());
    EXPECT_NE(
        ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini").find("LogName=" + Today() + "_5.log"),
        std::string::npos);
    Log(log, L"after");
    std::wstring next = ReadUtf16(LogPath(5)).substr(Banner().size());
    EXPECT_EQ(Messages(next), std::vector<std::wstring>{L"after"});
}

TEST_F(LogFileTest, NameOfAnEarlierDayRotatesToNumberOne) {
    WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini", "[Common]\r\nLogName=19990101_8.log\r\n");
    CLogFile log;
    loggingOn = 1;
    const std::wstring message(1000, L'm');
    for (int i = 0; i < 5000 && !Exists(LogPath(1)); ++i)
        Log(log, L"%s", message.c_str());
    EXPECT_TRUE(Exists(LogPath(0))); // the first file: the next name after an old day's
    EXPECT_TRUE(Exists(LogPath(1)));
}

TEST_F(LogFileTest, FailedNameStoreIsReportedInTheOldFileWithoutAnotherChange) {
    settingsPath = app.WPath() + L"no-such-folder/Quorvel.ini"; // every write fails
    loggingOn = 1;
    const std::wstring message(1000, L'm');
    for (int i = 0; i < 5000 && !Exists(LogPath(1)); ++i)
        LogPrintf(L"%s", message.c_str());
    ASSERT_TRUE(Exists(LogPath(1)));
    std::wstring old = ReadUtf16(LogPath(0));
    const std::wstring report = L"Failed to save log file name\r\n";
    ASSERT_GT(old.size(), report.size());
    EXPECT_EQ(old.substr(old.size() - report.size()), report);
    EXPECT_EQ(ReadUtf16(LogPath(1)), Banner());
    EXPECT_FALSE(Exists(LogPath(2)));
}

TEST_F(LogFileTest, LinesFromSeveralThreadsNeverInterleave) {
    CLogFile log;
    loggingOn = 1;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 250; ++i)
                Log(log, L"thread %d line %d %s", t, i, std::wstring(50, L'a' + t).c_str());
        });
    for (auto& th : threads)
        th.join();
    std::wstring text = ReadUtf16(platform::WideToUtf8(log.FileName()));
    text = text.substr(Banner().size());
    std::vector<int> next(4, 0);
    std::vector<std::wstring> messages = Messages(text);
    for (const std::wstring& m : messages) {
        // "thread T line N " + 50 letters of thread T
        ASSERT_EQ(m.rfind(L"thread ", 0), 0u) << platform::WideToUtf8(m);
        size_t t = static_cast<size_t>(m[7] - L'0');
        ASSERT_LT(t, 4u);
        std::wstring expected = L"thread " + std::to_wstring(t) + L" line " +
                                std::to_wstring(next[t]++) + L" " +
                                std::wstring(50, static_cast<wchar_t>(L'a' + t));
        EXPECT_EQ(m, expected);
    }
    EXPECT_EQ(messages.size(), 1000u);
}
