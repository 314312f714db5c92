#include "config/Config.h"
#include "HostContainer.h"
#include "TempDir.h"
#include "config/DateTime.h"
#include "host/HostServices.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

// An <app> folder with the plug-in's style files and default channel list installed.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        WriteFileBytes(plugin + "Data/Data/HtmlStyle/H20.css", "css-new");
        WriteFileBytes(plugin + "Data/Data/HtmlStyle/rss.js", "js-new");
        WriteFileBytes(plugin + "Data/Data/HtmlStyle/nested/deep.gif", "deep");
        WriteFileBytes(plugin + "userdefinechannel.opml", "default-list");
    }
    // The settings file without a start-up.
    void UseSettings() {
        MakeFolders(app / "rss/RssUserCfg");
        settingsPath = platform::Utf8ToWide(ini);
    }

    TempDir app;
    const std::string plugin = app / "Plugins/QuorvelUIPlugin/";
    const std::string ini = app / "rss/RssUserCfg/Quorvel.ini";
    const std::string style = app / "userdata/rss/ReadRecord/Data/HtmlStyle/";
    const std::string list = app / "userdata/rss/RssUserCfg/userdefinechannel.opml";
    const std::string today = platform::WideToUtf8(FormatNow(L"%Y%m%d"));
};

} // namespace

TEST_F(ConfigTest, ReadDefaultsLeadingNumbersAndWritesThatStoreTheMemberOnSuccess) {
    UseSettings();
    CConfig c;
    EXPECT_EQ(c.ReadLinkNum(), 1);
    EXPECT_EQ(c.ReadLinkTime(), 10);
    EXPECT_EQ(c.ReadLang(), L"0");
    EXPECT_EQ(c.ReadProxyAddress(), L"");
    WriteFileBytes(ini, "[Common]\r\nThreadNum=abc\r\nLinkNum= 3x\r\nProxyPort=-8\r\n");
    CConfig fresh;
    EXPECT_EQ(fresh.ReadThreadNum(), 0); // letters leave the member at 0
    EXPECT_EQ(fresh.ReadLinkNum(), 3);
    EXPECT_EQ(fresh.ReadProxyPort(), -8);
    // A write stores the member only when the file write succeeded.
    EXPECT_EQ(c.WriteThreadNum(7), 1);
    EXPECT_EQ(c.ThreadNum, 7);
    EXPECT_EQ(CConfig().ReadThreadNum(), 7);
    settingsPath = app.WPath() + L"missing-folder/Quorvel.ini";
    EXPECT_EQ(c.WriteThreadNum(9), 0);
    EXPECT_EQ(c.ThreadNum, 7);
    EXPECT_EQ(c.WriteMissingDefaults(), 0);
    EXPECT_EQ(CConfig().ReadThreadNum(), 5); // reads fall back to their defaults
}

TEST_F(ConfigTest, PasswordIsStoredAsBase64OfItsNativeBytesUpTo387) {
    UseSettings();
    CConfig c;
    ASSERT_EQ(c.WriteUserPassword(L"secret"), 1);
    EXPECT_NE(ReadFileBytes(ini).find("UserPassword=c2VjcmV0\r\n"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(ini).find("secret"), std::string::npos);
    EXPECT_EQ(CConfig().ReadUserPassword(), L"secret");
    // Chinese text goes through the native code page: "中" is D6 D0.
    ASSERT_EQ(c.WriteUserPassword(L"\u4E2Dx"), 1);
    EXPECT_NE(ReadFileBytes(ini).find("UserPassword=1tB4\r\n"), std::string::npos);
    EXPECT_EQ(CConfig().ReadUserPassword(), L"\u4E2Dx");
    WriteFileBytes(ini, "[Common]\r\nUserPassword=c2VjcmV\r\n");
    EXPECT_EQ(CConfig().ReadUserPassword(), L""); // length not a multiple of 4
    WriteFileBytes(ini, "[Common]\r\nUserPassword=YQ==\r\n");
    EXPECT_EQ(CConfig().ReadUserPassword(), L"a");
    ASSERT_EQ(c.WriteUserPassword(std::wstring(387, L'p')), 1);
    EXPECT_EQ(CConfig().ReadUserPassword(), std::wstring(387, L'p'));
    // Over 387 native bytes: refused, nothing stored, the member keeps the old password.
    EXPECT_EQ(c.WriteUserPassword(std::wstring(388, L'q')), 0);
    EXPECT_EQ(c.UserPassword, std::wstring(387, L'p'));
    EXPECT_EQ(CConfig().ReadUserPassword(), std::wstring(387, L'p'));
    EXPECT_EQ(c.WriteUserPassword(std::wstring(194, L'\u4E2D')), 0); // 388 bytes in GB18030
}

TEST_F(ConfigTest, StartsMakeTheDataTreeAndCopyStyleFilesOnly) {
    CConfig config;
    EXPECT_EQ(config.Initialize(L"Quorvel.ini"), 0); // <app>rss/RssUserCfg is not made here
    for (const char* folder : {"userdata/rss/RssUserCfg", "userdata/rss/ReadRecord/Common",
                               "userdata/rss/ReadRecord/Data/HtmlStyle"})
        EXPECT_TRUE(Exists(app / folder)) << folder;
    EXPECT_FALSE(Exists(app / "RssConfig"));
    EXPECT_FALSE(Exists(app / "rss/RssUserCfg"));
    EXPECT_EQ(ReadFileBytes(style + "H20.css"), "css-new");
    EXPECT_EQ(ReadFileBytes(style + "rss.js"), "js-new");
    EXPECT_FALSE(Exists(style + "nested"));
    EXPECT_FALSE(Exists(list)); // not asked for
    EXPECT_EQ(settingsPath, platform::Utf8ToWide(ini));
    // A second start overwrites the style files and keeps the local ones.
    WriteFileBytes(style + "H20.css", "edited");
    WriteFileBytes(style + "mine.css", "local");
    WriteFileBytes(app / "userdata/rss/ReadRecord/Common/Channel.dat", "keep");
    config.PrepareDataFolders();
    EXPECT_EQ(ReadFileBytes(style + "H20.css"), "css-new");
    EXPECT_EQ(ReadFileBytes(style + "mine.css"), "local");
    EXPECT_EQ(ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Channel.dat"), "keep");
}

TEST_F(ConfigTest, DefaultChannelListOnlyForHostValueExactlyOneAndOnlyWhenMissing) {
    for (const wchar_t* value : {L"0", L"", L" 1", L"1 ", L"1"}) {
        HostContainer container;
        container.SetHostValue(L"rss", L"userchanneldefine", value);
        CConfig config;
        config.copyUserChannelList = HostWantsUserChannelList(&container);
        config.PrepareDataFolders();
        EXPECT_EQ(Exists(list), value == std::wstring(L"1")) << platform::WideToUtf8(value);
    }
    EXPECT_EQ(ReadFileBytes(list), "default-list");
    CConfig config;
    config.copyUserChannelList = true;
    WriteFileBytes(list, "users-own-list");
    config.PrepareDataFolders();
    EXPECT_EQ(ReadFileBytes(list), "users-own-list");
    std::filesystem::remove(list);
    config.PrepareDataFolders();
    EXPECT_EQ(ReadFileBytes(list), "default-list");
}

TEST_F(ConfigTest, StartFillsMissingAndEmptyKeysInOrderAndAdvancesTheLogNumber) {
    WriteFileBytes(ini, "[Host]\r\nX=1\r\n");
    ASSERT_EQ(CConfig().Initialize(L"Quorvel.ini"), 1);
    EXPECT_EQ(ReadFileBytes(ini),
              "[Host]\r\nX=1\r\n[Common]\r\nLogHotKey=\r\nLogSize=2\r\nLogState=0\r\nLinkNum=1\r\n"
              "LinkTime=10\r\nProxyState=0\r\nProxyAddress=\r\nProxyPort=0\r\nUserName=\r\n"
              "UserPassword=\r\nLang=0\r\nThreadNum=5\r\nUpdateState=0\r\nAllowHttps=0\r\n"
              "NotifyNewItems=1\r\n"
              "LogName=" +
                  today + "_1.log\r\n");
    // An empty value counts as missing; present values stay.
    WriteFileBytes(ini, "[Common]\r\nLinkTime=\r\nThreadNum=12\r\nLogName=" + today + "_7.log\r\n");
    CConfig config;
    ASSERT_EQ(config.Initialize(L"Quorvel.ini"), 1);
    EXPECT_EQ(ReadFileBytes(ini).rfind("[Common]\r\nLinkTime=10\r\nThreadNum=12\r\nLogName=" +
                                           today + "_8.log\r\nLogHotKey=\r\n",
                                       0),
              0u);
    EXPECT_EQ(config.NextLogName(), platform::Utf8ToWide(today) + L"_9.log");
    // A name of an earlier day starts again at 0, then the start-up advances it to 1.
    WriteFileBytes(ini, "[Common]\r\nLogName=20000101_5.log\r\n");
    ASSERT_EQ(config.Initialize(L"Quorvel.ini"), 1);
    EXPECT_EQ(config.NextLogName(), platform::Utf8ToWide(today) + L"_1.log");
}

TEST_F(ConfigTest, FirstStartsAtOnceLeaveWholeFiles) {
    const std::string big(1 << 20, 'L'); // a list large enough to be seen half-written
    WriteFileBytes(plugin + "userdefinechannel.opml", big);
    std::vector<std::thread> starts;
    std::atomic<bool> partial{false};
    for (int i = 0; i < 4; ++i)
        starts.emplace_back([&] {
            CConfig config;
            config.copyUserChannelList = true;
            config.PrepareDataFolders();
            // Whoever sees the list sees all of it.
            if (Exists(list) && ReadFileBytes(list) != big)
                partial = true;
        });
    for (std::thread& t : starts)
        t.join();
    EXPECT_FALSE(partial);
    EXPECT_EQ(ReadFileBytes(list), big);
    EXPECT_EQ(ReadFileBytes(style + "rss.js"), "js-new");
}
