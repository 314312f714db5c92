#include "platform/ProfileFile.h"
#include "TempDir.h"
#include "platform/CodePage.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using platform::ProfileFile;

TEST(ProfileFile, MissingKeyGivesDefaultPresentEmptyValueGivesEmpty) {
    TempDir dir;
    std::wstring ini = dir.WPath() + L"s.ini";
    WriteFileBytes(dir / "s.ini", "[Other]\r\nKey=other\r\n[common]\r\n Empty = \r\nkey = v1 \r\n");
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"Empty", L"dflt"), L"");
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"KEY", L""), L"v1");
    EXPECT_EQ(ProfileFile::ReadString(dir.WPath() + L"none.ini", L"Common", L"Key", L"d"), L"d");
}

TEST(ProfileFile, WritesReplaceInPlaceKeepOtherLinesAndCapReadsAt255) {
    TempDir dir;
    std::wstring ini = dir.WPath() + L"s.ini";
    WriteFileBytes(dir / "s.ini", "; comment\r\n[Common]\r\nA=1\r\n\r\n[Next]\r\nA=9\r\n");
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"a", L"2"));
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"B", L"\u4E2D"));
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"New", L"C", L"3"));
    EXPECT_EQ(ReadFileBytes(dir / "s.ini"), "; comment\r\n[Common]\r\nA=2\r\nB=\xE4\xB8\xAD\r\n\r\n"
                                            "[Next]\r\nA=9\r\n[New]\r\nC=3\r\n");
    std::wstring longValue(300, L'x');
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"Long", longValue));
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"Long", L"").size(), 255u);
    EXPECT_FALSE(ProfileFile::WriteString(ini, L"Common", L"Bad", L"two\nlines"));
}

TEST(ProfileFile, WriteFailsWhenTheFolderIsMissing) {
    TempDir dir;
    EXPECT_FALSE(ProfileFile::WriteString(dir.WPath() + L"no/s.ini", L"Common", L"A", L"1"));
}

TEST(ProfileFile, ReadersOnOtherThreadsNeverSeeAHalfWrittenFile) {
    TempDir dir;
    std::wstring ini = dir.WPath() + L"s.ini";
    const std::wstring a(200, L'a'), b(200, L'b');
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"V", a));
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!done) {
            std::wstring v = ProfileFile::ReadString(ini, L"Common", L"V", L"missing");
            if (v != a && v != b)
                ++bad;
        }
    });
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"V", i % 2 ? a : b));
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST(ProfileFile, AByteOrderMarkIsReadAndWrittenPastAndKept) {
    TempDir dir;
    const std::string path = dir / "a.ini";
    WriteFileBytes(path, "\xEF\xBB\xBF[Common]\r\nThreadNum=5\r\n");
    const std::wstring file = platform::Utf8ToWide(path);
    ASSERT_TRUE(ProfileFile::WriteString(file, L"Common", L"ThreadNum", L"7"));
    ASSERT_TRUE(ProfileFile::WriteString(file, L"Common", L"LinkTime", L"60"));
    EXPECT_EQ(ProfileFile::ReadString(file, L"Common", L"ThreadNum", L""), L"7");
    EXPECT_EQ(ProfileFile::ReadString(file, L"Common", L"LinkTime", L""), L"60");
    EXPECT_EQ(ReadFileBytes(path), "\xEF\xBB\xBF[Common]\r\nThreadNum=7\r\nLinkTime=60\r\n");
}
