#include "catalogue/CatalogueFiles.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "catalogue/Archive.h"
#include "platform/CodePage.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

std::string U32(uint32_t v) {
    return Bytes({static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF), static_cast<int>(v >> 24)});
}

class CatalogueFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "userdata/rss/ReadRecord/Common");
        MakeFolders(app / "userdata/rss/ReadRecord/Data");
    }
    std::string ChannelDat() { return app / "userdata/rss/ReadRecord/Common/Channel.dat"; }
    std::string GroupDat() { return app / "userdata/rss/ReadRecord/Common/Group.dat"; }

    static std::unique_ptr<CGroup> Group(uint32_t id, uint32_t parent, const std::wstring& name) {
        auto g = std::make_unique<CGroup>();
        g->SetId(id);
        g->SetParentId(parent);
        g->SetName(name);
        return g;
    }

    TempDir app;
    LogCapture log{app.Path()};
};

// A channel record: id 7 in group 2, name "N", url "u", counts 3/20, stem rss7, and a
// 29-byte build date.
const std::string kBuildDate = "Sun, 03 Dec 2006 10:00:00 GMT";
std::string ChannelRecordBytes() {
    return U32(7) + U32(2) + Bytes({0xFF, 0xFE, 0xFF, 0x01, 'N', 0}) +
           Bytes({0xFF, 0xFE, 0xFF, 0x00}) + Bytes({0xFF, 0xFE, 0xFF, 0x01, 'u', 0}) + U32(400) +
           U32(3) + U32(20) + U32(40) +
           Bytes({0xFF, 0xFE, 0xFF, 0x04, 'r', 0, 's', 0, 's', 0, '7', 0}) +
           Bytes({0xFF, 0xFE, 0xFF, 0x00}) + Bytes({0x1D}) + kBuildDate;
}
const std::string kChannelClass = Bytes({0xFF, 0xFF, 0x01, 0x00, 0x08, 0x00}) + "CChannel";

std::unique_ptr<CChannel> SampleChannel() {
    auto c = std::make_unique<CChannel>();
    c->SetId(7);
    c->SetGroupId(2);
    c->SetName(L"N");
    c->SetUrl(L"u");
    c->SetCounts(3, 20);
    c->SetFileStem(L"rss7");
    c->SetLastBuildDate(kBuildDate);
    return c;
}

} // namespace

// The archive forms the record goldens below do not show.
TEST(Archive, LongStringsAndTheirLengthForms) {
    CArchive wide;
    wide.WriteWideString(std::wstring(300, L'x'));
    EXPECT_EQ(wide.Data().substr(0, 6), Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
    EXPECT_EQ(wide.Data().size(), 6u + 600u);
    // Narrow: up to 254 one byte; 255 -> FF + 16 bits; 0xFFFE -> FF FFFF + 32 bits.
    CArchive edges;
    edges.WriteNarrowString("");
    edges.WriteNarrowString(std::string(254, 'a'));
    edges.WriteNarrowString(std::string(255, 'b'));
    edges.WriteNarrowString(std::string(0xFFFE, 'c'));
    const std::string& d = edges.Data();
    EXPECT_EQ(d.substr(0, 2), Bytes({0x00, 0xFE}));
    EXPECT_EQ(d.substr(256, 3), Bytes({0xFF, 0xFF, 0x00}));
    EXPECT_EQ(d.substr(256 + 3 + 255, 7), Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
    CArchive in(d);
    EXPECT_EQ(in.ReadNarrowString(), "");
    EXPECT_EQ(in.ReadNarrowString(), std::string(254, 'a'));
    EXPECT_EQ(in.ReadNarrowString(), std::string(255, 'b'));
    EXPECT_EQ(in.ReadNarrowString(), std::string(0xFFFE, 'c'));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_THROW(in.ReadU8(), ArchiveError);
}

TEST(Archive, EitherStringKindLoadsIntoEitherFieldThroughTheNativeCodePage) {
    // "中文" stored narrow (GBK bytes) where a wide string is declared, and wide where a
    // narrow one is declared.
    CArchive in(
        Bytes({0x04, 0xD6, 0xD0, 0xCE, 0xC4, 0xFF, 0xFE, 0xFF, 0x02, 0x2D, 0x4E, 0x87, 0x65}));
    EXPECT_EQ(in.ReadWideString(), L"\u4E2D\u6587");
    EXPECT_EQ(in.ReadNarrowString(), "\xD6\xD0\xCE\xC4");
    // A 16-bit narrow length after FF, and the FF FFFF 32-bit narrow form.
    CArchive forms(Bytes({0xFF, 0x02, 0x00, 'h', 'i', 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 'z'}));
    EXPECT_EQ(forms.ReadWideString(), L"hi");
    EXPECT_EQ(forms.ReadNarrowString(), "z");
}

TEST(Archive, TagsThatNameNoClassAreRefused) {
    uint16_t schema = 0;
    CArchive in(Bytes({0x01, 0x80}));
    EXPECT_THROW(in.ReadObjectTag(schema), ArchiveError); // a reference to no class
    CArchive objectRef(Bytes({0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00, 'X', 0x02, 0x00}));
    EXPECT_EQ(objectRef.ReadObjectTag(schema), "X");
    EXPECT_THROW(objectRef.ReadObjectTag(schema), ArchiveError); // 0x0002: an object, not a class
}

TEST_F(CatalogueFilesTest, ChannelRecordBytesRoundTripAndOneSharedClassDescription) {
    CatalogueFiles files;
    ASSERT_TRUE(files.OpenCatalogueFiles());
    ChannelList channels;
    channels.push_back(SampleChannel());
    ASSERT_TRUE(files.SaveChannels(channels));
    const std::string record = ChannelRecordBytes();
    EXPECT_EQ(ReadFileBytes(ChannelDat()), Bytes({1, 0}) + kChannelClass + record);
    EXPECT_TRUE(log.Contains(L"Succeed to save channel date"));

    ChannelList loaded;
    ASSERT_TRUE(files.LoadChannels(loaded));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->NodeText(), L"N(3/20)");
    EXPECT_EQ(loaded[0]->GetGroupId(), 2u);
    EXPECT_EQ(loaded[0]->GetFileStem(), L"rss7");
    EXPECT_EQ(loaded[0]->GetLastBuildDate(), kBuildDate);
    EXPECT_TRUE(log.Contains(L"Succeed to load channel data"));

    // Three hundred records share the first one's class description.
    while (channels.size() < 300)
        channels.push_back(SampleChannel());
    ASSERT_TRUE(files.SaveChannels(channels));
    std::string expected = Bytes({0x2C, 0x01}) + kChannelClass + record;
    for (int i = 1; i < 300; ++i)
        expected += Bytes({0x01, 0x80}) + record;
    EXPECT_EQ(ReadFileBytes(ChannelDat()), expected);
}

TEST_F(CatalogueFilesTest, OneGroupIsThirtyTwoBytesAndSeventyThousandUseTheLargeForms) {
    CatalogueFiles files;
    ASSERT_TRUE(files.OpenCatalogueFiles());
    EXPECT_EQ(files.DataFolder(), app.WPath() + L"userdata/rss/ReadRecord/Data");
    GroupList groups;
    groups.push_back(Group(1, 0, L"abc"));
    ASSERT_TRUE(files.SaveGroups(groups));
    EXPECT_EQ(ReadFileBytes(GroupDat()),
              Bytes({0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00, 'C',  'G',  'r',
                     'o',  'u',  'p',  0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                     0xFF, 0xFE, 0xFF, 0x03, 'a',  0x00, 'b',  0x00, 'c',  0x00}));
    EXPECT_TRUE(log.Contains(L"Succeed to save group date"));

    groups.clear();
    for (uint32_t i = 1; i <= 70000; ++i)
        groups.push_back(Group(i, i - 1, L"g"));
    ASSERT_TRUE(files.SaveGroups(groups));
    const std::string data = ReadFileBytes(GroupDat());
    // Count FF FF + 70000; record payload is 14 bytes; objects 2..32765 carry 01 80, from
    // object 32766 on (running index 0x7FFF) the tag is 7F FF + 01 00 00 80.
    EXPECT_EQ(data.substr(0, 6), Bytes({0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    const size_t firstRecordEnd = 6 + 12 + 14;
    const size_t smallTags = 32765 - 1;
    size_t bigStart = firstRecordEnd + smallTags * (2 + 14);
    EXPECT_EQ(data.substr(bigStart - 16, 2), Bytes({0x01, 0x80}));
    EXPECT_EQ(data.substr(bigStart, 6), Bytes({0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80}));
    EXPECT_EQ(data.size(), bigStart + (70000 - 32765) * (6 + 14));

    GroupList loaded;
    ASSERT_TRUE(files.LoadGroups(loaded));
    ASSERT_EQ(loaded.size(), 70000u);
    EXPECT_EQ(loaded[32765]->GetId(), 32766u);
    EXPECT_EQ(loaded[69999]->GetParentId(), 69999u);
}

TEST_F(CatalogueFilesTest, EmptyAndZeroLengthFiles) {
    WriteFileBytes(ChannelDat(), Bytes({0, 0}));
    CatalogueFiles files;
    ASSERT_TRUE(files.OpenCatalogueFiles());
    ChannelList channels;
    EXPECT_TRUE(files.LoadChannels(channels));
    EXPECT_TRUE(channels.empty());
    EXPECT_TRUE(log.Contains(L"Succeed to load channel data"));
    GroupList groups;
    EXPECT_TRUE(files.LoadGroups(groups)); // created empty by the open
    EXPECT_TRUE(log.Contains(L"No group data in file"));
    EXPECT_FALSE(log.Contains(L"No channel data in file"));
    files.Close();
    WriteFileBytes(ChannelDat(), "");
    ASSERT_TRUE(files.OpenCatalogueFiles());
    EXPECT_TRUE(files.LoadChannels(channels));
    EXPECT_TRUE(log.Contains(L"No channel data in file"));
}

TEST_F(CatalogueFilesTest, ACutShortFileIsNeverWrittenOver) {
    const std::string record = ChannelRecordBytes();
    const std::string damaged =
        Bytes({2, 0}) + kChannelClass + record + Bytes({0x01, 0x80}) + record.substr(0, 20);
    WriteFileBytes(ChannelDat(), damaged);
    CatalogueFiles files;
    ASSERT_TRUE(files.OpenCatalogueFiles());
    ChannelList channels;
    EXPECT_FALSE(files.LoadChannels(channels));
    EXPECT_TRUE(channels.empty()); // nothing half-loaded
    EXPECT_TRUE(log.Contains(L"Failed to load channel data"));
    EXPECT_NE(files.Notice().find(L"no good copy"), std::wstring::npos);
    channels.push_back(SampleChannel());
    EXPECT_FALSE(files.SaveChannels(channels));
    EXPECT_EQ(ReadFileBytes(ChannelDat()), damaged);
    // Saving without loading first refuses as well.
    files.Close();
    CatalogueFiles other;
    ASSERT_TRUE(other.OpenCatalogueFiles());
    EXPECT_FALSE(other.SaveChannels(channels));
    EXPECT_EQ(ReadFileBytes(ChannelDat()), damaged);
    // Bytes after the last record make a file damaged too.
    WriteFileBytes(GroupDat(), Bytes({0, 0, 0}));
    GroupList groups;
    EXPECT_FALSE(other.LoadGroups(groups));
}

TEST_F(CatalogueFilesTest, WrongSchemaClassOrTagFailsTheLoad) {
    const std::string group = U32(1) + U32(0) + Bytes({0x00});
    for (const std::string& file :
         {Bytes({1, 0, 0xFF, 0xFF, 0x02, 0x00, 0x06, 0x00}) + "CGroup" + group,
          Bytes({1, 0, 0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00}) + "CGrouq" + group,
          Bytes({1, 0, 0xFF, 0xFF, 0x01, 0x00, 0x08, 0x00}) + "CChannel" + group,
          Bytes({2, 0, 0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00}) + "CGroup" + group +
              Bytes({0x02, 0x00}) + group}) {
        WriteFileBytes(GroupDat(), file);
        CatalogueFiles files;
        ASSERT_TRUE(files.OpenCatalogueFiles());
        GroupList groups;
        EXPECT_FALSE(files.LoadGroups(groups));
        EXPECT_LE(groups.size(), 1u);
    }
    EXPECT_EQ(log.Count(L"Failed to load group data"), 4u);
}

TEST_F(CatalogueFilesTest, FilesAreHeldExclusively) {
    CatalogueFiles first;
    ASSERT_TRUE(first.OpenCatalogueFiles());
    CatalogueFiles second;
    EXPECT_FALSE(second.OpenCatalogueFiles());
    EXPECT_TRUE(log.Contains(L"Failed to open channel file"));
    ChannelList channels;
    EXPECT_FALSE(second.SaveChannels(channels));
    EXPECT_TRUE(log.Contains(L"Failed to save channel date"));
    EXPECT_EQ(second.LastOpenError(), CatalogueFiles::OpenError::kInUse);
    first.Close();
    EXPECT_TRUE(second.OpenCatalogueFiles());
}

TEST_F(CatalogueFilesTest, SaveWhileAWorkerPublishesCountsNeverWritesATornRecord) {
    CatalogueFiles files;
    ASSERT_TRUE(files.OpenCatalogueFiles());
    ChannelList channels;
    channels.push_back(SampleChannel());
    CChannel* channel = channels[0].get();
    channel->SetCounts(0, 0);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (uint32_t i = 0; !done; ++i) {
            channel->SetCounts(i, i);
            channel->SetLastUpdated(std::wstring(i % 50, L'x'));
        }
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(files.SaveChannels(channels));
        ChannelList loaded;
        ASSERT_TRUE(files.LoadChannels(loaded));
        ASSERT_EQ(loaded.size(), 1u);
        EXPECT_EQ(loaded[0]->GetUnreadCount(), loaded[0]->GetTotalCount());
    }
    done = true;
    worker.join();
}
