#include "config/Config.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeFolders(dir / "cfg");
        settingsPath = dir.WPath() + L"cfg/Quorvel.ini";
    }
    std::string Ini() { return ReadFileBytes(dir / "cfg/Quorvel.ini"); }
    TempDir dir;
};
} // namespace

TEST_F(ConfigTest, ReadDefaultsLettersAndLeadingNumbers) {
    CConfig c;
    EXPECT_EQ(c.ReadLinkNum(), 1);
    EXPECT_EQ(c.ReadLinkTime(), 10);
    EXPECT_EQ(c.ReadThreadNum(), 5);
    EXPECT_EQ(c.ReadLogSize(), 2);
    EXPECT_EQ(c.ReadLang(), L"0");
    EXPECT_EQ(c.ReadProxyAddress(), L"");
    WriteFileBytes(dir / "cfg/Quorvel.ini",
                   "[Common]\r\nThreadNum=abc\r\nLinkNum= 3x\r\nProxyPort=-8\r\n");
    CConfig fresh;
    EXPECT_EQ(fresh.ReadThreadNum(), 0); // letters leave the member at 0
    EXPECT_EQ(fresh.ReadLinkNum(), 3);
    EXPECT_EQ(fresh.ReadProxyPort(), -8);
}

TEST_F(ConfigTest, WritesStoreTheMemberOnlyOnSuccess) {
    CConfig c;
    EXPECT_EQ(c.WriteThreadNum(7), 1);
    EXPECT_EQ(c.ThreadNum, 7);
    EXPECT_EQ(CConfig().ReadThreadNum(), 7);
    settingsPath = dir.WPath() + L"missing-folder/Quorvel.ini";
    EXPECT_EQ(c.WriteThreadNum(9), 0);
    EXPECT_EQ(c.ThreadNum, 7);
    EXPECT_EQ(c.WriteMissingDefaults(), 0);
    EXPECT_EQ(CConfig().ReadThreadNum(), 5); // reads fall back to their defaults
}

TEST_F(ConfigTest, PasswordIsStoredAsBase64OfItsNativeBytes) {
    CConfig c;
    ASSERT_EQ(c.WriteUserPassword(L"secret"), 1);
    EXPECT_NE(Ini().find("UserPassword=c2VjcmV0\r\n"), std::string::npos);
    EXPECT_EQ(Ini().find("secret"), std::string::npos);
    EXPECT_EQ(CConfig().ReadUserPassword(), L"secret");
    // Chinese text goes through the native code page: "中" is D6 D0.
    ASSERT_EQ(c.WriteUserPassword(L"\u4E2Dx"), 1);
    EXPECT_NE(Ini().find("UserPassword=1tB4\r\n"), std::string::npos);
    EXPECT_EQ(CConfig().ReadUserPassword(), L"\u4E2Dx");
    ASSERT_EQ(c.WriteUserPassword(L""), 1);
    EXPECT_NE(Ini().find("UserPassword=\r\n"), std::string::npos);
}

TEST_F(ConfigTest, PasswordEdgeCases) {
    WriteFileBytes(dir / "cfg/Quorvel.ini", "[Common]\r\nUserPassword=c2VjcmV\r\n");
    EXPECT_EQ(CConfig().ReadUserPassword(), L""); // length not a multiple of 4
    WriteFileBytes(dir / "cfg/Quorvel.ini", "[Common]\r\nUserPassword=YQ==\r\n");
    EXPECT_EQ(CConfig().ReadUserPassword(), L"a");
    CConfig c;
    ASSERT_EQ(c.WriteUserPassword(std::wstring(387, L'p')), 1);
    EXPECT_EQ(CConfig().ReadUserPassword(), std::wstring(387, L'p'));
    // Over 387 native bytes: refused, nothing stored, the member keeps the old password.
    EXPECT_EQ(c.WriteUserPassword(std::wstring(388, L'q')), 0);
    EXPECT_EQ(c.UserPassword, std::wstring(387, L'p'));
    EXPECT_EQ(CConfig().ReadUserPassword(), std::wstring(387, L'p'));
    EXPECT_EQ(c.WriteUserPassword(std::wstring(194, L'\u4E2D')), 0); // 388 bytes in GB18030
}
