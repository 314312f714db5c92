#include "platform/File.h"
#include "TempDir.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(File, ExclusiveOpenRefusesASecondOpenerAndNeverTruncatesForIt) {
    TempDir dir;
    std::wstring path = dir.WPath() + L"Channel.dat";
    File first;
    ASSERT_TRUE(first.Open(path, File::kRead | File::kWrite | File::kCreate | File::kExclusive));
    ASSERT_TRUE(first.Write("data", 4));
    File second;
    EXPECT_FALSE(
        second.Open(path, File::kRead | File::kWrite | File::kExclusive | File::kTruncate));
    EXPECT_EQ(first.Size(), 4);
    first.Close();
    EXPECT_TRUE(second.Open(path, File::kRead | File::kWrite | File::kExclusive));
}

TEST(File, ReadWriteSeekTruncate) {
    TempDir dir;
    File f;
    ASSERT_TRUE(f.Open(dir.WPath() + L"a.bin", File::kRead | File::kWrite | File::kCreate));
    ASSERT_TRUE(f.Write(std::string("hello world")));
    ASSERT_TRUE(f.Seek(6));
    std::string rest;
    ASSERT_TRUE(f.ReadToEnd(rest));
    EXPECT_EQ(rest, "world");
    ASSERT_TRUE(f.Truncate(0));
    EXPECT_EQ(f.Size(), 0);
    EXPECT_EQ(f.Position(), 0);
    EXPECT_TRUE(f.Flush());
    File missing;
    EXPECT_FALSE(missing.Open(dir.WPath() + L"nope", File::kRead));
}

TEST(FileSystem, FoldersCopyListAndReplace) {
    TempDir dir;
    std::wstring base = dir.WPath();
    EXPECT_TRUE(CreateFolder(base + L"sub"));
    EXPECT_TRUE(CreateFolder(base + L"sub")); // existing folder is fine
    EXPECT_FALSE(CreateFolder(base + L"missing/child"));
    WriteFileBytes(dir / "sub/a.txt", "one");
    EXPECT_TRUE(CopyFile(base + L"sub/a.txt", base + L"b.txt", false));
    EXPECT_FALSE(CopyFile(base + L"sub/a.txt", base + L"b.txt", true));
    WriteFileBytes(dir / "sub/a.txt", "two");
    EXPECT_TRUE(CopyFile(base + L"sub/a.txt", base + L"b.txt", false));
    EXPECT_EQ(ReadFileBytes(dir / "b.txt"), "two");
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(base, entries));
    int files = 0, folders = 0;
    for (const auto& e : entries)
        (e.isFolder ? folders : files)++;
    EXPECT_EQ(files, 1);   // b.txt, and no temporary file left from the copies
    EXPECT_EQ(folders, 3); // ".", "..", "sub"
    EXPECT_TRUE(ReplaceFileContent(base + L"b.txt", "three"));
    EXPECT_EQ(ReadFileBytes(dir / "b.txt"), "three");
    EXPECT_EQ(FileSize(base + L"b.txt"), 5);
    EXPECT_TRUE(DeleteFile(base + L"b.txt"));
    EXPECT_FALSE(FileExists(base + L"b.txt"));
}
