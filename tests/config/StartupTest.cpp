#include "HostContainer.h"
#include "TempDir.h"
#include "config/Config.h"
#include "config/DateTime.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

// An <app> folder with the plug-in's style files and default channel list installed.
void InstallPlugin(const TempDir& app) {
    const std::string plugin = app / "Plugins/QuorvelUIPlugin/";
    WriteFileBytes(plugin + "Data/Data/HtmlStyle/H20.css", "css-new");
    WriteFileBytes(plugin + "Data/Data/HtmlStyle/rss.js", "js-new");
    MakeFolders(plugin + "Data/Data/HtmlStyle/nested");
    WriteFileBytes(plugin + "Data/Data/HtmlStyle/nested/deep.gif", "deep");
    WriteFileBytes(plugin + "userdefinechannel.opml", "default-list");
}

const char* const kFolders[] = {"userdata",
                                "userdata/rss",
                                "userdata/rss/RssUserCfg",
                                "userdata/rss/ReadRecord",
                                "userdata/rss/ReadRecord/Common",
                                "userdata/rss/ReadRecord/Data",
                                "userdata/rss/ReadRecord/Data/HtmlStyle"};

} // namespace

TEST(Startup, FirstStartMakesTheDataTreeAndCopiesStyleFilesOnly) {
    TempDir app;
    UseAppDirectory(app);
    InstallPlugin(app);
    CConfig config;
    EXPECT_EQ(config.Initialize(L"Quorvel.ini"), 0); // <app>rss/RssUserCfg is not made here
    for (const char* folder : kFolders)
        EXPECT_TRUE(Exists(app / folder)) << folder;
    EXPECT_FALSE(Exists(app / "RssConfig"));
    EXPECT_FALSE(Exists(app / "rss/RssUserCfg"));
    const std::string style = app / "userdata/rss/ReadRecord/Data/HtmlStyle/";
    EXPECT_EQ(ReadFileBytes(style + "H20.css"), "css-new");
    EXPECT_EQ(ReadFileBytes(style + "rss.js"), "js-new");
    EXPECT_FALSE(Exists(style + "nested"));
    EXPECT_FALSE(Exists(app / "userdata/rss/RssUserCfg/userdefinechannel.opml")); // no container
    EXPECT_EQ(settingsPath, app.WPath() + L"rss/RssUserCfg/Quorvel.ini");
}

TEST(Startup, SecondStartOverwritesStyleFilesAndKeepsLocalOnes) {
    TempDir app;
    UseAppDirectory(app);
    InstallPlugin(app);
    CConfig config;
    config.PrepareDataFolders();
    const std::string style = app / "userdata/rss/ReadRecord/Data/HtmlStyle/";
    WriteFileBytes(style + "H20.css", "edited");
    WriteFileBytes(style + "mine.css", "local");
    WriteFileBytes(app / "userdata/rss/ReadRecord/Common/Channel.dat", "keep");
    config.PrepareDataFolders();
    EXPECT_EQ(ReadFileBytes(style + "H20.css"), "css-new");
    EXPECT_EQ(ReadFileBytes(style + "mine.css"), "local");
    EXPECT_EQ(ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Channel.dat"), "keep");
}

TEST(Startup, DefaultChannelListOnlyForHostValueExactlyOneAndOnlyWhenMissing) {
    TempDir app;
    UseAppDirectory(app);
    InstallPlugin(app);
    const std::string list = app / "userdata/rss/RssUserCfg/userdefinechannel.opml";
    for (const wchar_t* value : {L"0", L"", L" 1", L"1 "}) {
        HostContainer container;
        container.SetHostValue(L"rss", L"userchanneldefine", value);
        CConfig config;
        config.container = &container;
        config.PrepareDataFolders();
        EXPECT_FALSE(Exists(list)) << "host value '" << std::string(value, value + wcslen(value));
        EXPECT_EQ(container.OutstandingServices(), 0);
    }
    HostContainer container;
    container.SetHostValue(L"rss", L"userchanneldefine", L"1");
    CConfig config;
    config.container = &container;
    config.PrepareDataFolders();
    EXPECT_EQ(ReadFileBytes(list), "default-list");
    WriteFileBytes(list, "users-own-list");
    config.PrepareDataFolders();
    EXPECT_EQ(ReadFileBytes(list), "users-own-list");
    std::remove(list.c_str());
    config.PrepareDataFolders();
    EXPECT_EQ(ReadFileBytes(list), "default-list");
}

TEST(Startup, FillsAFileWithoutTheSectionWithAllKeysInOrder) {
    TempDir app;
    UseAppDirectory(app);
    WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini", "[Host]\r\nX=1\r\n");
    CConfig config;
    ASSERT_EQ(config.Initialize(L"Quorvel.ini"), 1);
    std::wstring date = FormatNow(L"%Y%m%d");
    std::string d(date.begin(), date.end());
    EXPECT_EQ(ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini"),
              "[Host]\r\nX=1\r\n[Common]\r\nLogHotKey=\r\nLogSize=2\r\nLogState=0\r\nLinkNum=1\r\n"
              "LinkTime=10\r\nProxyState=0\r\nProxyAddress=\r\nProxyPort=0\r\nUserName=\r\n"
              "UserPassword=\r\nLang=0\r\nThreadNum=5\r\nUpdateState=0\r\nAllowHttps=0\r\n"
              "LogName=" +
                  d + "_1.log\r\n");
}

TEST(Startup, EmptyValuesCountAsMissingAndEachStartAdvancesTheLogNumber) {
    TempDir app;
    UseAppDirectory(app);
    std::wstring date = FormatNow(L"%Y%m%d");
    std::string d(date.begin(), date.end());
    WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini",
                   "[Common]\r\nProxyAddress=\r\nThreadNum=12\r\nLogName=" + d + "_7.log\r\n");
    CConfig config;
    ASSERT_EQ(config.Initialize(L"Quorvel.ini"), 1);
    CConfig reader;
    EXPECT_EQ(reader.ReadThreadNum(), 12); // present values stay
    EXPECT_EQ(reader.ReadLinkTime(), 10);
    EXPECT_EQ(reader.NextLogName(), date + L"_9.log"); // stored 8 after this start
    // A name of an earlier day starts again at 0, then the start-up advances it to 1.
    WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini", "[Common]\r\nLogName=20000101_5.log\r\n");
    ASSERT_EQ(config.Initialize(L"Quorvel.ini"), 1);
    EXPECT_EQ(reader.NextLogName(), date + L"_1.log");
}

TEST(Startup, FirstStartsAtOnceLeaveWholeFiles) {
    TempDir app;
    UseAppDirectory(app);
    InstallPlugin(app);
    const std::string big(1 << 20, 'L'); // a list large enough to be seen half-written
    WriteFileBytes(app / "Plugins/QuorvelUIPlugin/userdefinechannel.opml", big);
    const std::string list = app / "userdata/rss/RssUserCfg/userdefinechannel.opml";
    std::vector<std::thread> starts;
    std::atomic<bool> partial{false};
    for (int i = 0; i < 4; ++i) {
        starts.emplace_back([&] {
            HostContainer container;
            container.SetHostValue(L"rss", L"userchanneldefine", L"1");
            CConfig config;
            config.container = &container;
            config.PrepareDataFolders();
            // Whoever sees the list sees all of it.
            if (Exists(list) && ReadFileBytes(list) != big)
                partial = true;
        });
    }
    for (std::thread& t : starts)
        t.join();
    EXPECT_FALSE(partial);
    EXPECT_EQ(ReadFileBytes(list), big);
    EXPECT_EQ(ReadFileBytes(app / "userdata/rss/ReadRecord/Data/HtmlStyle/rss.js"), "js-new");
}
