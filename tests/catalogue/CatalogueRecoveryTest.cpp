#include "TempDir.h"
#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "config/Folders.h"
#include "opml/CatalogueImport.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/mount.h>

namespace {

// A catalogue of 2 groups and 4 channels saved twice, so that a last good copy exists.
class RecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        Prepare();
    }
    void Prepare() {
        MakeFolders(app / "rss/RssUserCfg");
        CConfig().PrepareDataFolders();
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
        WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    }
    void TearDown() override {
        if (!disk.empty())
            umount2(disk.c_str(), MNT_DETACH);
    }
    // A small tmpfs as the application folder; false (test skipped) without root.
    bool MountDisk(const char* options) {
        const std::string path = app / "disk";
        MakeFolders(path);
        if (geteuid() != 0 || mount("tmpfs", path.c_str(), "tmpfs", 0, options) != 0)
            return false;
        disk = path;
        SetAppDirectory(platform::Utf8ToWide(disk + "/"));
        Prepare();
        return true;
    }
    std::string ChannelDat() { return app / "userdata/rss/ReadRecord/Common/Channel.dat"; }

    std::unique_ptr<CatalogueModel> Open() {
        auto model = std::make_unique<CatalogueModel>(nullptr);
        if (!model->Open())
            return nullptr;
        CatalogueImport(*model, nullptr).ImportDefaultListIfNew();
        return model;
    }
    void Build() {
        auto model = Open();
        ASSERT_TRUE(model);
        CGroup* a = model->AddGroup(nullptr, L"A");
        model->AddGroup(a, L"B");
        for (int i = 0; i < 4; ++i)
            model->AddChannel(i % 2 ? a : nullptr, L"channel " + std::to_wstring(i), L"d",
                              L"http://127.0.0.1:1/" + std::to_wstring(i));
        model->Rename(CatalogueModel::NodeOf(a), L"A2"); // a second save of Group.dat
        model->Rename(CatalogueModel::NodeOf(model->Channels()[0].get()), L"first");
        ASSERT_FALSE(model->TakeSaveFailure());
        good = ReadFileBytes(ChannelDat());
    }
    // Every saved record is there after a damaged Channel.dat, which is kept aside.
    void ExpectRecovered(const std::string& damaged, const std::string& what) {
        WriteFileBytes(ChannelDat(), damaged);
        const std::string copy = ReadFileBytes(ChannelDat() + ".bak");
        auto model = Open();
        ASSERT_TRUE(model) << what;
        ASSERT_EQ(model->Channels().size(), 4u) << what;
        EXPECT_EQ(model->Groups().size(), 2u) << what;
        if (!model->OpenProblem().empty()) {
            // The damaged file is kept; the copy took its place.
            EXPECT_TRUE(ReadFileBytes(ChannelDat() + ".damaged") == damaged) << what;
            EXPECT_TRUE(ReadFileBytes(ChannelDat()) == copy) << what;
            std::remove((ChannelDat() + ".damaged").c_str());
        }
        // The next save writes a whole file that loads again.
        model->Rename(CatalogueModel::NodeOf(model->Channels()[1].get()), L"again");
        EXPECT_FALSE(model->TakeSaveFailure()) << what;
        model.reset();
        ASSERT_TRUE((model = Open())) << what;
        EXPECT_EQ(model->Channels().size(), 4u) << what;
        EXPECT_TRUE(model->OpenProblem().empty()) << what;
        model.reset();
        WriteFileBytes(ChannelDat(), good);
    }

    TempDir app;
    std::string good;
    std::string disk; // the mounted tmpfs, if any
};

} // namespace

TEST_F(RecoveryTest, DamagedChannelFilesLoseNoSavedRecord) {
    Build();
    for (size_t length = 0; length < good.size(); ++length)
        ExpectRecovered(good.substr(0, length), "cut at " + std::to_string(length));
    for (size_t pos = 0; pos < good.size(); ++pos) {
        std::string flipped = good;
        flipped[pos] = static_cast<char>(flipped[pos] ^ (1 << (pos % 8)));
        ExpectRecovered(flipped, "bit flipped at " + std::to_string(pos));
    }
    ExpectRecovered(std::string(good.size(), '\0'), "zero bytes");
    std::mt19937 random(7);
    for (int i = 0; i < 30; ++i) {
        std::string noise(random() % 600, '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        ExpectRecovered(noise, "random bytes " + std::to_string(i));
    }
    // A second damaged file is kept beside the first one, not over it.
    WriteFileBytes(ChannelDat() + ".damaged", "first");
    WriteFileBytes(ChannelDat(), "second");
    ASSERT_TRUE(Open());
    EXPECT_EQ(ReadFileBytes(ChannelDat() + ".damaged"), "first");
    EXPECT_EQ(ReadFileBytes(ChannelDat() + ".damaged2"), "second");
}

TEST_F(RecoveryTest, WithoutAGoodCopyTheCatalogueIsRefusedAndLeftAlone) {
    {
        auto model = Open();
        ASSERT_TRUE(model);
        model->AddChannel(nullptr, L"only", L"", L"http://127.0.0.1:1/");
    }
    std::remove((ChannelDat() + ".bak").c_str());
    const std::string damaged = ReadFileBytes(ChannelDat()).substr(0, 20);
    WriteFileBytes(ChannelDat(), damaged);
    CatalogueModel model(nullptr);
    EXPECT_FALSE(model.Open());
    EXPECT_NE(model.OpenProblem().find(L"Channel.dat cannot be read"), std::wstring::npos);
    EXPECT_TRUE(model.Channels().empty());
    EXPECT_EQ(ReadFileBytes(ChannelDat()), damaged);
}

TEST_F(RecoveryTest, ACrashBetweenWriteAndRenameKeepsTheFile) {
    Build();
    // What a save that died before its rename leaves behind.
    WriteFileBytes(ChannelDat() + ".tmp999_1", good.substr(0, 30));
    auto model = Open();
    ASSERT_TRUE(model);
    EXPECT_EQ(model->Channels().size(), 4u);
    EXPECT_TRUE(model->OpenProblem().empty());
    // A missing file comes back from its copy.
    model.reset();
    std::remove(ChannelDat().c_str());
    ASSERT_TRUE((model = Open()));
    EXPECT_EQ(model->Channels().size(), 4u);
    EXPECT_NE(model->OpenProblem().find(L"missing"), std::wstring::npos);
}

TEST_F(RecoveryTest, AFullDiskFailsTheSaveAndKeepsTheFile) {
    if (!MountDisk("size=64k"))
        GTEST_SKIP() << "mounting a small tmpfs needs root and mount rights";
    auto model = Open();
    ASSERT_TRUE(model);
    for (int i = 0; i < 5; ++i)
        model->AddChannel(nullptr, L"c" + std::to_wstring(i), L"",
                          L"http://x/" + std::to_wstring(i));
    ASSERT_FALSE(model->TakeSaveFailure());
    // Fill the disk, then grow the catalogue until a save fails and says so.
    WriteFileBytes(disk + "/filler", std::string(64 * 1024, 'x'));
    size_t saved = 5;
    bool failed = false;
    for (int i = 5; i < 1000 && !failed; ++i) {
        model->AddChannel(nullptr, L"a long name to fill the disk " + std::to_wstring(i), L"",
                          L"http://x/" + std::to_wstring(i));
        failed = model->TakeSaveFailure();
        saved += failed ? 0 : 1;
    }
    ASSERT_TRUE(failed);
    model.reset();
    std::remove((disk + "/filler").c_str());
    // What stands on disk is the last save that succeeded, whole.
    ASSERT_TRUE((model = Open()));
    EXPECT_TRUE(model->OpenProblem().empty());
    EXPECT_EQ(model->Channels().size(), saved);
}

TEST_F(RecoveryTest, AReadOnlyFolderIsReportedAsReadOnly) {
    if (!MountDisk("size=1m"))
        GTEST_SKIP() << "mounting a small tmpfs needs root and mount rights";
    ASSERT_TRUE(Open());
    ASSERT_EQ(mount("tmpfs", disk.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
    CatalogueModel model(nullptr);
    EXPECT_FALSE(model.Open());
    EXPECT_EQ(model.OpenError(), CatalogueFiles::OpenError::kReadOnly);
    EXPECT_EQ(model.OpenProblem(), L"the catalogue folder is read-only");
}
