#include "platform/ProfileFile.h"
#include "TempDir.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using platform::ProfileFile;

TEST(ProfileFile, ReadsWithDefaultsWritesInPlaceKeepOtherLinesAndCapReadsAt255) {
    TempDir dir;
    const std::wstring ini = dir.WPath() + L"s.ini";
    WriteFileBytes(dir / "s.ini", "[Other]\r\nKey=other\r\n[common]\r\n Empty = \r\nkey = v1 \r\n");
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"Empty", L"dflt"), L"");
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"KEY", L""), L"v1");
    WriteFileBytes(dir / "s.ini", "; comment\r\n[Common]\r\nA=1\r\n\r\n[Next]\r\nA=9\r\n");
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"a", L"2"));
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"B", L"\u4E2D"));
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"New", L"C", L"3"));
    EXPECT_EQ(ReadFileBytes(dir / "s.ini"), "; comment\r\n[Common]\r\nA=2\r\nB=\xE4\xB8\xAD\r\n\r\n"
                                            "[Next]\r\nA=9\r\n[New]\r\nC=3\r\n");
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"Long", std::wstring(300, L'x')));
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"Long", L"").size(), 255u);
    EXPECT_FALSE(ProfileFile::WriteString(ini, L"Common", L"Bad", L"two\nlines"));
    EXPECT_FALSE(ProfileFile::WriteString(dir.WPath() + L"no/s.ini", L"Common", L"A", L"1"));
    // A byte order mark is read and written past, and kept.
    WriteFileBytes(dir / "s.ini", "\xEF\xBB\xBF[Common]\r\nThreadNum=5\r\n");
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"ThreadNum", L"7"));
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"LinkTime", L"60"));
    EXPECT_EQ(ProfileFile::ReadString(ini, L"Common", L"ThreadNum", L""), L"7");
    EXPECT_EQ(ReadFileBytes(dir / "s.ini"),
              "\xEF\xBB\xBF[Common]\r\nThreadNum=7\r\nLinkTime=60\r\n");
}

TEST(ProfileFile, ReadersOnOtherThreadsNeverSeeAHalfWrittenFile) {
    TempDir dir;
    const std::wstring ini = dir.WPath() + L"s.ini";
    const std::wstring a(200, L'a'), b(200, L'b');
    ASSERT_TRUE(ProfileFile::WriteString(ini, L"Common", L"V", a));
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!done) {
            const std::wstring v = ProfileFile::ReadString(ini, L"Common", L"V", L"missing");
            bad += v != a && v != b;
        }
    });
    for (int i = 0; i < 300; ++i)
        EXPECT_TRUE(ProfileFile::WriteString(ini, L"Common", L"V", i % 2 ? a : b));
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}
