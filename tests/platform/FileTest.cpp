#include "platform/File.h"
#include "TempDir.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <set>

using namespace platform;

TEST(File, ExclusiveOpenAndReadWriteSeekTruncate) {
    TempDir dir;
    const std::wstring path = dir.WPath() + L"Channel.dat";
    const unsigned rw = File::kRead | File::kWrite;
    File first, second;
    EXPECT_FALSE(first.Open(dir.WPath() + L"nope", File::kRead));
    ASSERT_TRUE(first.Open(path, rw | File::kCreate | File::kExclusive));
    ASSERT_TRUE(first.Write(std::string("hello world")));
    // A second exclusive opener is refused and never truncates the file for it.
    EXPECT_FALSE(second.Open(path, rw | File::kExclusive | File::kTruncate));
    ASSERT_TRUE(first.Seek(6));
    std::string rest;
    ASSERT_TRUE(first.ReadToEnd(rest));
    EXPECT_EQ(rest, "world");
    ASSERT_TRUE(first.Truncate(0));
    EXPECT_EQ(first.Size(), 0);
    EXPECT_EQ(first.Position(), 0);
    EXPECT_TRUE(first.Flush());
    first.Close();
    EXPECT_TRUE(second.Open(path, rw | File::kExclusive));
}

TEST(FileSystem, FoldersCopyListAndReplace) {
    TempDir dir;
    const std::wstring base = dir.WPath();
    EXPECT_TRUE(CreateFolder(base + L"sub"));
    EXPECT_TRUE(CreateFolder(base + L"sub")); // existing folder is fine
    EXPECT_FALSE(CreateFolder(base + L"missing/child"));
    WriteFileBytes(dir / "sub/a.txt", "one");
    EXPECT_TRUE(CopyFile(base + L"sub/a.txt", base + L"b.txt", false));
    EXPECT_FALSE(CopyFile(base + L"sub/a.txt", base + L"b.txt", true));
    EXPECT_TRUE(ReplaceFileContent(base + L"b.txt", "three"));
    EXPECT_EQ(FileSize(base + L"b.txt"), 5);
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(base, entries));
    std::set<std::pair<std::wstring, bool>> listed; // and no temporary file left
    for (const auto& e : entries)
        listed.insert({e.name, e.isFolder});
    EXPECT_EQ(listed,
              (decltype(listed){{L".", true}, {L"..", true}, {L"sub", true}, {L"b.txt", false}}));
    EXPECT_TRUE(DeleteFile(base + L"b.txt"));
    EXPECT_FALSE(FileExists(base + L"b.txt"));
}
