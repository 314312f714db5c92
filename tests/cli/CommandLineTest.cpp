#include "CommandLine.h"
#include "../engine/FeedFixtures.h"
#include "TempDir.h"
#include "TestCertificates.h"
#include "TestHttpServer.h"
#include "catalogue/CatalogueFiles.h"
#include "config/DateTime.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "xml/OpmlExport.h"

#include <cstdlib>
#include <filesystem>
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
    // Runs in the test's application folder, or in `dir`.
    Result Run(std::vector<std::string> args, const std::string& dir = std::string()) {
        args.insert(args.begin(), {"tessavin", "--app-dir", dir.empty() ? app.Path() : dir});
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
    // Only the first start imports the default list (and skips an id when it fails).
    EXPECT_EQ(Run({"add-group", "Sub", "--parent", "g2"}).out, "[g3] Sub\n");
    Result r = Run({"add-channel", server.Url("/world.xml"), "--name", "W", "--group", "g3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "[c1] W(4/4)\n"); // the first update ran
    r = Run({"add-channel", server.Url("/world.xml"), "--name", "Again"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tessavin: A channel with this address exists already.\n");
    EXPECT_EQ(Run({"add-group", "x", "--parent", "c1"}).code, 2); // not a group
    EXPECT_EQ(Run({"rename", "c1", "Renamed"}).code, 0);
    r = Run({"set", "c1", "--max-items", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tessavin: At least 10 items are kept.\n");
    EXPECT_EQ(Run({"set", "c1", "--interval", "15"}).out, "[c1] Renamed(4/4)\n");
    EXPECT_EQ(Run({"move", "g2", "g3"}).err,
              "tessavin: a group cannot be moved into its own subtree\n");
    EXPECT_EQ(Run({"move", "g2", "top"}).code, 1);
    EXPECT_EQ(Run({"move", "c1", "top"}).code, 0);
    EXPECT_EQ(Run({"list"}).out, "[g2] Folder\n  [g3] Sub\n[c1] Renamed(4/4)\n");
    EXPECT_EQ(Run({"delete-articles", "c1"}).out, "[c1] Renamed(0/0)\n");
    EXPECT_EQ(Run({"page", "c1"}).code, 1);
    EXPECT_EQ(Run({"delete", "g2"}).code, 0);
    EXPECT_EQ(Run({"delete", "c1"}).code, 0);
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

TEST_F(CommandLineTest, NodeIdsAreReadStrictly) {
    ASSERT_EQ(Run({"add-group", "A"}).code, 0);
    ASSERT_EQ(Run({"add-group", "B"}).code, 0);
    for (const char* bad : {"4294967298", "g4294967298", "-1", "+2", "2x", "c 2", "g"})
        EXPECT_EQ(Run({"delete", bad}).code, 2) << bad;
    EXPECT_EQ(Run({"list"}).out, "[g2] A\n[g3] B\n");
}

TEST_F(CommandLineTest, MarkSetsAStateAndSaysWhenItCannot) {
    ASSERT_EQ(Run({"import", app / "list.opml"}).code, 0);
    ASSERT_EQ(Run({"update", "c2"}).code, 0);
    EXPECT_EQ(Run({"mark", "c2", "1", "read"}).out, "[c2] World(3/4)\n");
    EXPECT_EQ(Run({"mark", "c2", "1", "read"}).out, "[c2] World(3/4)\n"); // no toggle
    EXPECT_EQ(Run({"mark", "c2", "1", "unread"}).out, "[c2] World(4/4)\n");
    EXPECT_EQ(Run({"mark", "c2", "2", "flag"}).code, 0);
    EXPECT_EQ(Run({"mark", "c2", "2", "flag"}).code, 0);
    const std::string state = app / "userdata/rss/ReadRecord/Data/rss2.flg";
    EXPECT_EQ(ReadFileBytes(state).find("F010"), 28u); // item 2 flagged once
    EXPECT_EQ(Run({"mark", "c2", "2", "unflag"}).code, 0);
    EXPECT_EQ(Run({"mark", "c2", "3", "delete"}).out, "[c2] World(3/3)\n");
    Result r = Run({"mark", "c2", "3", "read"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tessavin: item 3 of channel c2 is deleted\n");
    EXPECT_EQ(Run({"mark", "c2", "9", "read"}).code, 1);
    EXPECT_EQ(Run({"mark", "c2", "1", "toggle"}).code, 2);
    // The state file held by another writer: the mark cannot be written, and it says so.
    platform::File holder;
    ASSERT_TRUE(holder.Open(platform::Utf8ToWide(state),
                            platform::File::kRead | platform::File::kExclusive));
    r = Run({"mark", "c2", "1", "read"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("could not be written"), std::string::npos);
}

TEST_F(CommandLineTest, FailedUpdatesSayWhy) {
    server.Serve("/html", "<html><body>not a feed</body></html>", "text/html");
    ASSERT_EQ(Run({"add-group", "G"}).code, 0);
    Result r = Run({"add-channel", server.Url("/missing.xml"), "--name", "Gone"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "[c1] Gone(0/0)\n");
    EXPECT_EQ(r.err, "tessavin: c1 was added, but its first update failed (HTTP 404)\n");
    Run({"add-channel", server.Url("/html"), "--name", "Page"});
    Run({"add-channel", "ftp://127.0.0.1/x.xml", "--name", "Ftp"});
    r = Run({"update", "--all"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "c1 Gone: failed (HTTP 404)\nc2 Page: failed (not an RSS or Atom document)\n"
                     "c3 Ftp: failed (address not http)\n"
                     "3 channels: 0 ok, 0 unchanged, 3 failed, 0 stopped\n");
    // The tree says which channels fail, why and since when, in every later run, until an
    // update succeeds again.
    const std::string today = platform::WideToUtf8(FormatNow(L"%Y-%m-%d"));
    const std::string list = Run({"list"}).out;
    EXPECT_NE(list.find("\n[c1] Gone(0/0)  failed: HTTP 404 since " + today), std::string::npos)
        << list;
    EXPECT_NE(list.find(", never updated\n[c2] Page(0/0)  failed: not an RSS or Atom document"),
              std::string::npos)
        << list;
    server.Serve("/missing.xml", FeedXml(NumberedItems(1, 2)));
    EXPECT_EQ(Run({"update", "c1"}).code, 0);
    EXPECT_NE(Run({"list"}).out.find("\n[c1] Gone(2/2)\n[c2] Page(0/0)  failed:"),
              std::string::npos);
}

TEST_F(CommandLineTest, NamesAndStoredValuesFollowTheDialogRules) {
    EXPECT_EQ(Run({"add-group", "   "}).code, 1);
    EXPECT_EQ(Run({"add-group", "two\nlines"}).code, 1);
    EXPECT_EQ(Run({"add-channel", server.Url("/world.xml"), "--name", "\t"}).code, 1);
    // A list passes the same rules: values clamped into the dialog's ranges, control
    // characters out of names, only http addresses; the summary says what was done.
    WriteFileBytes(
        app / "odd.opml",
        "<opml version=\"1.0\"><body><outline kind=\"nkFeed\" text=\"Odd\" "
        "itemMax=\"5\" interval=\"1000\" xmlUrl=\"" +
            server.Url("/world.xml") +
            "\"/><outline text=\"x&#10;[c99] fake(0/0)\" xmlUrl=\"http://127.0.0.1:1/x\" "
            "itemMax=\"4294967295\"/><outline text=\"js\" xmlUrl=\"javascript:x\"/>"
            "<outline text=\"f\" xmlUrl=\"file:///etc/passwd\"/></body></opml>");
    Result r = Run({"import", app / "odd.opml"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "imported 0 groups and 2 channels, 2 left out (not an http address), 1 name "
                     "cleaned, 2 item limits clamped, 1 interval clamped\n");
    EXPECT_EQ(Run({"list"}).out, "[c1] Odd(0/0)\n[c2] x [c99] fake(0/0)(0/0)\n");
    const std::string exported = Run({"export", "-"}).out;
    EXPECT_NE(exported.find("interval=\"240\" itemMax=\"10\""), std::string::npos);
    EXPECT_NE(exported.find("interval=\"40\" itemMax=\"1000\""), std::string::npos);
    // A list with nothing sound in it says so rather than "no groups or channels".
    WriteFileBytes(app / "bad.opml", "<opml version=\"1.0\"><body><outline text=\"js\" "
                                     "xmlUrl=\"javascript:x\"/></body></opml>");
    EXPECT_EQ(Run({"import", app / "bad.opml"}).out,
              "imported 0 groups and 0 channels, 1 left out (not an http address)\n");
    EXPECT_EQ(Run({"set", "c1", "--name", "Even"}).code, 0);
    EXPECT_EQ(Run({"set", "c1", "--name", "bad\x01"}).code, 1);
    EXPECT_EQ(Run({"set", "c1", "--interval", "1000"}).code, 1);
    EXPECT_EQ(Run({"list"}).out, "[c1] Even(0/0)\n[c2] x [c99] fake(0/0)(0/0)\n");
}

TEST_F(CommandLineTest, DamagedCatalogueAndLog) {
    ASSERT_EQ(Run({"--log", "import", app / "list.opml"}).code, 0);
    ASSERT_EQ(Run({"rename", "c2", "W2"}).code, 0); // a second save: a good copy exists
    const std::string dat = app / "userdata/rss/ReadRecord/Common/Channel.dat";
    WriteFileBytes(dat, ReadFileBytes(dat).substr(0, 40));
    Result r = Run({"list"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("Channel.dat could not be read; it was kept as"), std::string::npos);
    EXPECT_EQ(r.out, "[g2] News\n  [c2] World(0/0)\n[c3] \xE4\xB8\xAD(0/0)\n");
    // Without a good copy nothing is opened, and nothing is written over.
    std::remove((dat + ".bak").c_str());
    WriteFileBytes(dat, "\x05");
    r = Run({"rename", "c2", "X"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Channel.dat cannot be read and there is no good copy"),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(dat), "\x05");
    // The log of the last run with --log, as UTF-8 text.
    ASSERT_EQ(Run({"--log", "add-group", "\xE4\xB8\xAD"}).code, 1);
    r = Run({"log"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Channel.dat cannot be read"), std::string::npos);
    r = Run({"log", "--lines", "1"});
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
}

TEST_F(CommandLineTest, ExportWritesOpmlThatImportsIntoTheSameTree) {
    ASSERT_EQ(Run({"add-group", "News & \"Views\""}).code, 0);
    ASSERT_EQ(Run({"add-group", "Empty", "--parent", "g2"}).code, 0);
    // (Their first updates fail: nothing listens there.)
    Run({"add-channel", "http://127.0.0.1:1/a?x=1&y=2", "--name", "A", "--group", "g2",
         "--description", "say \"hi\" & <bye>"});
    ASSERT_EQ(Run({"set", "c1", "--interval", "15", "--max-items", "50"}).code, 0);
    Run({"add-channel", "http://127.0.0.1:1/b", "--name", "\xE4\xB8\xAD"});
    const Result exported = Run({"export", "-"});
    ASSERT_EQ(exported.code, 0);
    EXPECT_EQ(exported.out,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<opml version=\"2.0\">\n"
              "  <head>\n"
              "    <title>Tessavin channels</title>\n"
              "  </head>\n"
              "  <body>\n"
              "    <outline text=\"News &amp; &quot;Views&quot;\" title=\"News &amp; "
              "&quot;Views&quot;\" kind=\"nkPath\">\n"
              "      <outline text=\"Empty\" title=\"Empty\" kind=\"nkPath\"/>\n"
              "      <outline type=\"rss\" text=\"A\" title=\"A\" "
              "xmlUrl=\"http://127.0.0.1:1/a?x=1&amp;y=2\" kind=\"nkFeed\" interval=\"15\" "
              "itemMax=\"50\" description=\"say &quot;hi&quot; &amp; &lt;bye&gt;\"/>\n"
              "    </outline>\n"
              "    <outline type=\"rss\" text=\"\xE4\xB8\xAD\" title=\"\xE4\xB8\xAD\" "
              "xmlUrl=\"http://127.0.0.1:1/b\" kind=\"nkFeed\" interval=\"40\" itemMax=\"400\" "
              "description=\"\"/>\n"
              "  </body>\n"
              "</opml>\n");
    const std::string file = app / "export.opml";
    ASSERT_EQ(Run({"export", file}).code, 0);
    EXPECT_EQ(ReadFileBytes(file), exported.out);
    // The tree with its names and counts (ids are the catalogue's own, and whether an update
    // failed its own history).
    auto tree = [this](const std::string& dir) {
        std::string out = Run({"list"}, dir).out;
        for (size_t open = out.find('['); open != std::string::npos; open = out.find('[', open)) {
            const size_t close = out.find("] ", open);
            if (close == std::string::npos)
                break;
            out.erase(open, close + 2 - open);
        }
        for (size_t failed = out.find("  failed: "); failed != std::string::npos;
             failed = out.find("  failed: ", failed))
            out.erase(failed, out.find('\n', failed) - failed);
        return out;
    };
    const std::string list = tree(app.Path());
    EXPECT_EQ(list, "News & \"Views\"\n  Empty\n  A(0/0)\n\xE4\xB8\xAD(0/0)\n");

    // Into an empty catalogue: the same tree, names, addresses and settings.
    TempDir other;
    WriteFileBytes(other / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    ASSERT_EQ(Run({"import", file}, other.Path()).code, 0);
    EXPECT_EQ(Run({"export", "-"}, other.Path()).out, exported.out);
    EXPECT_EQ(tree(other.Path()), list);
    // Line ends survive as references; control characters XML cannot carry are dropped.
    EXPECT_EQ(OpmlExport::Escape("a\tb\r\nc\x01"), "a&#9;b&#13;&#10;c");
    // A second import finds every channel present.
    EXPECT_EQ(Run({"import", file}, other.Path()).out,
              "imported 0 groups and 0 channels, 2 already present\n");
}

TEST_F(CommandLineTest, OptionsPrintCheckAndWriteTheSettings) {
    Result r = Run({"options", "UserPassword", "secret"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Run({"options"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "UpdateState=0\nThreadNum=5\nProxyState=0\nProxyAddress=\nProxyPort=0\n"
                     "UserName=\nUserPassword=***\nLinkNum=1\nLinkTime=10\nAllowHttps=0\n");
    EXPECT_EQ(Run({"options", "UserPassword"}).out, "***\n");
    const std::string settings = app / "rss/RssUserCfg/Quorvel.ini";
    // The file but its log name, which every start advances.
    auto stored = [&settings] {
        std::string bytes = ReadFileBytes(settings);
        return bytes.substr(0, bytes.find("LogName="));
    };
    const std::string before = stored();
    // Refusals by the dialog's rules leave the file as it was.
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"options", "ThreadNum", "31"}, "ThreadNum must be a whole number from 1 to 30"},
        {{"options", "ThreadNum", "+5"}, "ThreadNum must be a whole number from 1 to 30"},
        {{"options", "LinkTime", "36"}, "LinkTime must be a whole number of seconds from 10 to 35"},
        {{"options", "LinkNum", "0"}, "LinkNum must be a whole number from 1 to 5"},
        {{"options", "ProxyState", "1"}, "ProxyAddress must be set while ProxyState is 1"},
        {{"options", "AllowHttps", "2"}, "AllowHttps must be 0 or 1"},
        {{"options", "UserName", "a\nb"}, "UserName must not hold control characters"},
        {{"options", "UserPassword", std::string(388, 'p')},
         "UserPassword is longer than 387 bytes"},
    };
    for (const auto& [args, reason] : refused) {
        r = Run(args);
        EXPECT_EQ(r.code, 1) << args[1];
        EXPECT_EQ(r.err, "tessavin: " + reason + "\n");
    }
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(Run({"options", "Nothing"}).code, 2);
    EXPECT_EQ(Run({"options", "ThreadNum", "5", "6"}).code, 2);

    // The proxy in its order: address, port, then the switch.
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"ProxyAddress", "proxy.local"},
                                                          {"ProxyPort", "3128"},
                                                          {"ProxyState", "1"},
                                                          {"ThreadNum", "30"},
                                                          {"AllowHttps", "1"}}) {
        r = Run({"options", key, value});
        EXPECT_EQ(r.code, 0) << key << ": " << r.err;
        EXPECT_EQ(Run({"options", key}).out, value + "\n");
    }
    EXPECT_EQ(Run({"options", "ProxyPort", "0"}).err,
              "tessavin: ProxyPort must be a whole number from 1 to 65535 while ProxyState is 1\n");
    const std::string after = ReadFileBytes(settings);
    EXPECT_NE(after.find("ProxyAddress=proxy.local\r\n"), std::string::npos);
    EXPECT_NE(after.find("ThreadNum=30\r\n"), std::string::npos);
    EXPECT_NE(after.find("AllowHttps=1\r\n"), std::string::npos);
}

TEST_F(CommandLineTest, AnHttpsFeedIsReadOnlyWithAllowHttps) {
    TestCertificates certificates(app / "certs");
    ASSERT_TRUE(certificates.Ok());
    setenv("TESSAVIN_TEST_CA_FILE", certificates.CaFile().c_str(), 1);
    TestHttpServer secure(certificates.ServerCertificate(), certificates.Key());
    secure.Serve("/feed.xml", FeedXml(NumberedItems(1, 2), "s1"));
    secure.Start();
    Result r = Run({"add-channel", secure.Url("/feed.xml"), "--name", "Secure"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("its first update failed (address not http)"), std::string::npos) << r.err;
    EXPECT_EQ(secure.Hits(), 0);

    ASSERT_EQ(Run({"options", "AllowHttps", "1"}).code, 0);
    r = Run({"update", "--all"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Secure: ok"), std::string::npos) << r.out;
    EXPECT_NE(Run({"list"}).out.find("Secure(2/2)"), std::string::npos);
    unsetenv("TESSAVIN_TEST_CA_FILE");
}

TEST_F(CommandLineTest, RefusalsSayWhatIsWrong) {
    ASSERT_EQ(Run({"add-group", "G"}).out, "[g2] G\n");
    // Descriptions take the names' rule on control characters.
    Result r = Run({"add-channel", "http://127.0.0.1:1/a", "--name", "A", "--description", "b\a"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tessavin: The description must not contain line breaks or other control "
                     "characters.\n");
    Run({"add-channel", "http://127.0.0.1:1/a", "--name", "A", "--group", "g2"});
    Run({"add-channel", "http://127.0.0.1:1/b", "--name", "B", "--group", "g2"});
    EXPECT_EQ(Run({"set", "c2", "--description", "two\nlines"}).code, 1);
    EXPECT_EQ(Run({"list"}).out.find("[g2] G\n  [c1] A(0/0)"), 0u);

    // Settings the file would cut or lose are refused.
    for (const auto& [key, reason] : std::vector<std::pair<std::string, std::string>>{
             {"UserName", "UserName is longer than 255 characters"},
             {"ProxyAddress", "ProxyAddress is longer than 255 characters"}}) {
        r = Run({"options", key, std::string(256, 'x')});
        EXPECT_EQ(r.code, 1) << key;
        EXPECT_EQ(r.err, "tessavin: " + reason + "\n");
    }
    EXPECT_EQ(Run({"options", "UserPassword", "a\x01"}).err,
              "tessavin: UserPassword must not hold control characters\n");
    EXPECT_EQ(Run({"options", "UserName", std::string(255, 'x')}).code, 0);
    EXPECT_EQ(Run({"options", "UserName"}).out, std::string(255, 'x') + "\n");

    // An import says what is wrong with the file or the address.
    WriteFileBytes(app / "notes.txt", "just some notes");
    const std::vector<std::pair<std::string, std::string>> imports = {
        {app / "missing.opml", "no such file"},
        {app / "notes.txt", "not an OPML list"},
        {server.Url("/gone.opml"), "the download failed (HTTP 404)"},
        {"ftp://127.0.0.1/list.opml", "not an http address"}};
    for (const auto& [path, reason] : imports) {
        r = Run({"import", path});
        EXPECT_EQ(r.code, 1) << path;
        EXPECT_EQ(r.err, "tessavin: cannot import " + path + ": " + reason + "\n");
    }

    // A delete that stops says where and what stayed: a folder where B's page goes cannot be
    // removed as a file.
    std::filesystem::create_directories(app / "userdata/rss/ReadRecord/Data/rss2.html");
    r = Run({"delete", "g2"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tessavin: the delete stopped at c2 B, whose files cannot be deleted; g2 G "
                     "stays, holding 1 of its channels\n");
    const std::string list = Run({"list"}).out;
    EXPECT_EQ(list.find("[g2] G\n  [c2] B(0/0)"), 0u) << list;
    EXPECT_EQ(list.find("[c1]"), std::string::npos) << list;
    r = Run({"delete", "c2"});
    EXPECT_EQ(r.err, "tessavin: c2 B was not deleted: its files cannot be deleted\n");
}
