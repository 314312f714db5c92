#include "config/LogFile.h"
#include "LogCapture.h"
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

// The lines of a log text (each ended by CR LF) without their "[YYYY-MM-DD HH:MM:SS] "
// stamps; a line without one comes out as "<no stamp>".
std::vector<std::wstring> Messages(const std::wstring& text) {
    static const std::wstring kShape = L"[0000-00-00 00:00:00] "; // 0: a digit
    auto stamped = [](const std::wstring& line) {
        if (line.size() < kShape.size())
            return false;
        for (size_t i = 0; i < kShape.size(); ++i)
            if (kShape[i] == L'0' ? !std::iswdigit(line[i]) : line[i] != kShape[i])
                return false;
        return true;
    };
    std::vector<std::wstring> out;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = std::min(text.find(L"\r\n", start), text.size());
        const std::wstring line = text.substr(start, end - start);
        out.push_back(stamped(line) ? line.substr(kShape.size()) : L"<no stamp>");
    }
    return out;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        resources =
            platform::ResourceModule::Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/res"));
        ASSERT_TRUE(resources);
        platform::ResourceModule::SetActive(resources.get());
        std::wstring a, b;
        resources->LoadString(CLogFile::kBannerA, a, 199);
        resources->LoadString(CLogFile::kBannerB, b, 199);
        banner = a + L"\r\n\r\n" + b + L"\r\n";
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
    }
    void TearDown() override {
        loggingOn = 0;
        platform::ResourceModule::SetActive(nullptr);
    }
    std::string LogPath(int number) const {
        return app / ("RssConfig/Log/" + today + "_" + std::to_string(number) + ".log");
    }
    // Logs lines of 1000 characters (to theLog without a log) until file `number` appears;
    // how many it took.
    int FillUntil(int number, CLogFile* log) {
        const std::wstring message(1000, L'm');
        int lines = 0;
        for (; lines < 5000 && !Exists(LogPath(number)); ++lines)
            log ? Log(*log, L"%d %s", lines, message.c_str())
                : LogPrintf(L"%d %s", lines, message.c_str());
        return lines;
    }

    TempDir app;
    const std::string ini = app / "rss/RssUserCfg/Quorvel.ini";
    const std::string today = platform::WideToUtf8(FormatNow(L"%Y%m%d"));
    std::unique_ptr<platform::ResourceModule> resources;
    std::wstring banner;
};

} // namespace

TEST_F(LogFileTest, FirstLineOpensTheNextNamedFileCutsLongMessagesAndRotatesAtTheLimit) {
    WriteFileBytes(ini, "[Common]\r\nLogName=" + today + "_3.log\r\n");
    CLogFile log;
    Log(log, L"nothing %s", L"here"); // logging off leaves no trace
    LogPrintf(L"nothing %s", L"here");
    EXPECT_FALSE(Exists(app / "RssConfig"));
    loggingOn = 1;
    Log(log, L"Begin to update channel %s ", L"\u4E2D\u6587");
    Log(log, L"%s", std::wstring(2000, L'x').c_str());
    const std::wstring text = ReadUtf16File(LogPath(4));
    ASSERT_EQ(text.rfind(banner, 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
    EXPECT_EQ(Messages(text.substr(banner.size())),
              (std::vector<std::wstring>{L"Begin to update channel \u4E2D\u6587 ",
                                         std::wstring(1023, L'x')}));
    // At the limit the next file (the stored number plus two) starts with the banner.
    const int lines = FillUntil(5, &log);
    ASSERT_TRUE(Exists(LogPath(5)));
    // The line that crossed the limit is the last of the old file.
    const std::string old = ReadFileBytes(LogPath(4));
    EXPECT_GE(old.size(), 2097152u);
    EXPECT_LT(old.size() - 2 * (1000 + 30), 2097152u);
    EXPECT_EQ(Messages(ReadUtf16File(LogPath(4))).back(),
              std::to_wstring(lines - 1) + L" " + std::wstring(1000, L'm'));
    EXPECT_EQ(ReadUtf16File(LogPath(5)), banner);
    EXPECT_NE(ReadFileBytes(ini).find("LogName=" + today + "_5.log"), std::string::npos);
    Log(log, L"after");
    EXPECT_EQ(Messages(ReadUtf16File(LogPath(5)).substr(banner.size())),
              std::vector<std::wstring>{L"after"});
}

TEST_F(LogFileTest, FailedNameStoreIsReportedInTheOldFileWithoutAnotherChange) {
    settingsPath = app.WPath() + L"no-such-folder/Quorvel.ini"; // every write fails
    loggingOn = 1;
    FillUntil(1, nullptr);
    ASSERT_TRUE(Exists(LogPath(1)));
    EXPECT_EQ(Messages(ReadUtf16File(LogPath(0))).back(), L"Failed to save log file name");
    EXPECT_EQ(ReadUtf16File(LogPath(1)), banner);
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
    const std::vector<std::wstring> messages =
        Messages(ReadUtf16File(platform::WideToUtf8(log.FileName())).substr(banner.size()));
    EXPECT_EQ(messages.size(), 1000u);
    std::vector<int> next(4, 0);
    for (const std::wstring& m : messages) {
        // "thread T line N " + 50 letters of thread T, each thread's lines in order
        const size_t t = m.size() > 7 ? static_cast<size_t>(m[7] - L'0') : 4;
        ASSERT_LT(t, 4u) << platform::WideToUtf8(m);
        EXPECT_EQ(m, L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(next[t]++) +
                         L" " + std::wstring(50, static_cast<wchar_t>(L'a' + t)));
    }
}
