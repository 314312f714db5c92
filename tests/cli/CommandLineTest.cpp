#include "CommandLine.h"
#include "../engine/FeedFixtures.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "catalogue/CatalogueFiles.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sstream>

namespace {

struct Result {
    int code;
    std::string out, err;
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.Get("/world.xml", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(world, "application/rss+xml");
        });
        server.Serve("/china.xml",
                     "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel>"
                     "<pubDate>d</pubDate><item><title>\xD6\xD0</title><link>http://cn/1</link>"
                     "</item></channel></rss>");
        server.Start();
        WriteFileBytes(
            app / "list.opml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\"><body>"
            "<outline kind=\"nkPath\" text=\"News\"><outline kind=\"nkFeed\" "
            "text=\"World\" xmlUrl=\"" +
                server.Url("/world.xml") +
                "\"/></outline><outline kind=\"nkFeed\" text=\"\xE4\xB8\xAD\" xmlUrl=\"" +
                server.Url("/china.xml") + "\"/></body></opml>");
        // No default list: the catalogue starts empty.
        WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    }
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"tessavin", "--app-dir", app.Path()});
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        std::ostringstream out, err;
        int code = RunTessavin(static_cast<int>(argv.size()), argv.data(), out, err);
        return {code, out.str(), err.str()};
    }

    TempDir app;
    TestHttpServer server;
    std::string world = FeedXml(NumberedItems(1, 4), "one");
};

} // namespace

TEST_F(CommandLineTest, ImportUpdateListMarkAndUpdateAgain) {
    Result r = Run({"import", app / "list.opml"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "imported 1 groups and 2 channels\n");
    r = Run({"update", "--all"});
    ASSERT_EQ(r.code, 0) << r.err;
    // Ids 1 were skipped by the failed import of the empty default list.
    EXPECT_EQ(r.out, "c2 World: ok\nc3 \xE4\xB8\xAD: ok\n2 channels: 2 ok, 0 unchanged, 0 failed, "
                     "0 stopped\n");
    r = Run({"list"});
    EXPECT_EQ(r.out, "[g2] News\n  [c2] World(4/4)\n[c3] \xE4\xB8\xAD(1/1)\n");
    r = Run({"mark", "c2", "2", "read"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "[c2] World(3/4)\n");
    EXPECT_EQ(Run({"update", "c2"}).out,
              "c2 World: unchanged\n1 channels: 0 ok, 1 unchanged, 0 failed, "
              "0 stopped\n");
    world = FeedXml(NumberedItems(1, 5), "two"); // one new item: the mark stays
    r = Run({"update", "g2"});
    EXPECT_EQ(r.out, "c2 World: ok\n1 channels: 1 ok, 0 unchanged, 0 failed, 0 stopped\n");
    EXPECT_EQ(Run({"list"}).out, "[g2] News\n  [c2] World(4/5)\n[c3] \xE4\xB8\xAD(1/1)\n");
    r = Run({"page", "c2"});
    EXPECT_EQ(r.out, app / "userdata/rss/ReadRecord/Data/rss2.html\n");
    EXPECT_NE(ReadFileBytes(app / "userdata/rss/ReadRecord/Data/rss2.flg")
                  .find("F100   http://example.com/2"),
              std::string::npos);
}

TEST_F(CommandLineTest, CatalogueCommandsAndRefusals) {
    ASSERT_EQ(Run({"add-group", "Folder"}).out, "[g2] Folder\n");
    // While no channel exists every start tries the (empty) default list, skipping an id.
    EXPECT_EQ(Run({"add-group", "Sub", "--parent", "g2"}).out, "[g4] Sub\n");
    Result r = Run({"add-channel", server.Url("/world.xml"), "--name", "W", "--group", "g4"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "[c2] W(4/4)\n"); // the first update ran
    r = Run({"add-channel", server.Url("/world.xml"), "--name", "Again"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tessavin: A channel with this address exists already.\n");
    EXPECT_EQ(Run({"add-group", "x", "--parent", "c2"}).code, 2); // not a group
    EXPECT_EQ(Run({"rename", "c2", "Renamed"}).code, 0);
    r = Run({"set", "c2", "--max-items", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tessavin: At least 10 items are kept.\n");
    EXPECT_EQ(Run({"set", "c2", "--interval", "15"}).out, "[c2] Renamed(4/4)\n");
    EXPECT_EQ(Run({"move", "g2", "g4"}).err,
              "tessavin: a group cannot be moved into its own subtree\n");
    EXPECT_EQ(Run({"move", "g2", "top"}).code, 1);
    EXPECT_EQ(Run({"move", "c2", "top"}).code, 0);
    EXPECT_EQ(Run({"list"}).out, "[g2] Folder\n  [g4] Sub\n[c2] Renamed(4/4)\n");
    EXPECT_EQ(Run({"delete-articles", "c2"}).out, "[c2] Renamed(0/0)\n");
    EXPECT_EQ(Run({"page", "c2"}).code, 1);
    EXPECT_EQ(Run({"delete", "g2"}).code, 0);
    EXPECT_EQ(Run({"delete", "c2"}).code, 0);
    EXPECT_EQ(Run({"list"}).out, "");
    EXPECT_EQ(Run({"frobnicate"}).code, 2);
    EXPECT_EQ(Run({"mark", "c9", "1", "read"}).code, 1);
}

TEST_F(CommandLineTest, ASecondInstanceOnTheSameFolderFailsClearly) {
    ASSERT_EQ(Run({"list"}).code, 0);
    CatalogueFiles holder; // another instance holds the catalogue
    ASSERT_TRUE(holder.OpenCatalogueFiles());
    Result r = Run({"list"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("is in use by another instance"), std::string::npos);
}
