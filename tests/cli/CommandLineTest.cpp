#include "CommandLine.h"
#include "../engine/FeedFixtures.h"
#include "LogCommand.h"
#include "SearchCommand.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "catalogue/CatalogueFiles.h"
#include "config/DateTime.h"
#include "opml/OpmlExport.h"
#include "platform/CodePage.h"
#include "platform/File.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

const char kUsage[] =
    "usage: tessavin [--app-dir DIR] [--log] COMMAND [ARGS]\n"
    "  list\n"
    "  update (--all | NODE...)              a group updates every channel under it\n"
    "  import PATH|URL [--group gID]\n"
    "  export PATH|-                         the catalogue as OPML 2.0 (- : standard output)\n"
    "  add-group NAME [--parent gID]\n"
    "  add-channel URL --name NAME [--description TEXT] [--group gID] a web page: its first "
    "feed\n"
    "  add-channel URL --list-feeds          the feeds a web page names\n"
    "  rename NODE NAME\n"
    "  set cID [--name N] [--description D] [--url U] [--max-items N] [--interval M]\n"
    "  move NODE (gID|top)\n"
    "  delete NODE\n"
    "  delete-articles cID\n"
    "  page cID\n"
    "  mark cID N (read|unread|flag|unflag|delete)\n"
    "  mark-read (--all | NODE...)           every item of the channels read\n"
    "  search QUERY [--channel cID] [--limit N] items of every channel by their words\n"
    "  log [--lines N]                       the newest log file (written with --log)\n"
    "  options [KEY [VALUE]]                 the settings; with a VALUE, checked and written\n";

struct Result {
    int code;
    std::string out, err;
};

// A command and what it gives: the exit code, then ':' and the exact output (and no error but
// `reason`'s), '!' and a refusal's reason, '?' and a usage error's reason (both without
// output), or nothing more.
struct Step {
    std::vector<std::string> args;
    std::string expected;
    std::string reason = std::string();
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.Serve("/world.xml", FeedXml(NumberedItems(1, 4), "one"));
        server.Serve("/china.xml", FeedXml(NumberedItems(1, 1)));
        server.Start();
        WriteFileBytes(app / "list.opml",
                       "<opml version=\"1.0\"><body><outline kind=\"nkPath\" text=\"News\">"
                       "<outline kind=\"nkFeed\" text=\"World\" xmlUrl=\"" +
                           server.Url("/world.xml") +
                           "\"/></outline><outline kind=\"nkFeed\" text=\"\xE4\xB8\xAD\" "
                           "xmlUrl=\"" +
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
    void Expect(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            const std::string& e = step.expected;
            ASSERT_TRUE(e.size() == 1 || (e.size() > 1 && std::string(":!?").find(e[1]) < 3));
            const Result r = Run(step.args);
            SCOPED_TRACE(::testing::PrintToString(step.args));
            EXPECT_EQ(r.code, e[0] - '0') << r.err;
            if (e.size() == 1)
                continue;
            const std::string reason = e[1] == ':' ? step.reason : e.substr(2);
            EXPECT_EQ(r.out, e[1] == ':' ? e.substr(2) : "");
            EXPECT_EQ(r.err, reason.empty()
                                 ? reason
                                 : "tessavin: " + reason + "\n" + (e[1] == '?' ? kUsage : ""));
        }
    }

    TempDir app;
    TestHttpServer server;
};

} // namespace

TEST_F(CommandLineTest, ImportUpdateListMarkAndHeldFiles) {
    const std::string counts = " unchanged, 0 failed, 0 stopped\n";
    Expect(
        {{{"import", app / "list.opml"}, "0:imported 1 groups and 2 channels\n"},
         // Ids 1 were skipped by the failed import of the empty default list.
         {{"update", "--all"}, "0:c2 World: ok\nc3 \xE4\xB8\xAD: ok\n2 channels: 2 ok, 0" + counts},
         {{"list"}, "0:[g2] News\n  [c2] World(4/4)\n[c3] \xE4\xB8\xAD(1/1)\n"},
         {{"search", "t3"}, "0:c2 3 T3\n1 items found\n"},
         {{"search", "T1", "--channel", "c3"}, "0:c3 1 T1\n1 items found\n"},
         {{"search", "T1 d9"}, "0:0 items found\n"},
         {{"search", "t1", "--limit", "0"}, "2?--limit needs a number from 1 to 1000"},
         {{"search", "t1", "--channel", "c9"}, "1!no such channel: c9"},
         {{"update", "g2"}, "0:c2 World: unchanged\n1 channels: 0 ok, 1" + counts},
         {{"page", "c2"}, "0:" + app / "userdata/rss/ReadRecord/Data/rss2.html\n"},
         {{"update", "c9"}, "1!no such node: c9"},
         {{"mark", "c2", "1", "read"}, "0:[c2] World(3/4)\n"},
         {{"mark", "c2", "1", "unread"}, "0:[c2] World(4/4)\n"},
         {{"mark", "c2", "2", "flag"}, "0:[c2] World(4/4)\n"},
         {{"mark", "c2", "2", "unflag"}, "0:[c2] World(4/4)\n"},
         {{"mark", "c2", "3", "delete"}, "0:[c2] World(3/3)\n"},
         {{"mark", "c2", "3", "read"}, "1!item 3 of channel c2 is deleted"},
         {{"mark", "c2", "9", "read"}, "1!channel c2 has no item 9"},
         {{"mark", "c2", "1", "toggle"}, "2?mark takes read, unread, flag, unflag or delete"},
         {{"mark", "c2", "+1", "read"}, "2?not an item number: +1"},
         {{"mark-read", "g2"}, "0:1 of 1 channels marked read\n"},
         {{"mark-read", "--all"}, "0:1 of 2 channels marked read\n"},
         {{"list"}, "0:[g2] News\n  [c2] World(0/3)\n[c3] \xE4\xB8\xAD(0/1)\n"},
         {{"mark-read", "c2", "c9"}, "1!no such node: c9"},
         {{"mark-read"}, "2?mark-read needs --all or nodes"},
         {{"mark", "c2", "1", "unread"}, "0:[c2] World(1/3)\n"}});
    // The state file held by another writer: the mark cannot be written, and it says so.
    platform::File holder;
    ASSERT_TRUE(holder.Open(platform::Utf8ToWide(app / "userdata/rss/ReadRecord/Data/rss2.flg"),
                            platform::File::kRead | platform::File::kExclusive));
    Expect({{{"mark", "c2", "1", "read"},
             "1!the state file of channel c2 could not be written "
             "(is it read-only, or is the channel updating?)"},
            {{"mark-read", "c2"},
             "1:0 of 1 channels marked read\n",
             "c2 not marked read: its files cannot be written"}});
    CatalogueFiles catalogue; // another instance holds the catalogue
    ASSERT_TRUE(catalogue.OpenCatalogueFiles());
    Expect({{{"list"},
             "1!the catalogue in " + app / "userdata/rss/ReadRecord/Common" +
                 " is in use by another instance"}});
}

TEST_F(CommandLineTest, CatalogueCommandsUsageErrorsAndRefusals) {
    const std::string url = server.Url("/world.xml");
    std::vector<Step> steps = {
        {{"--help"}, "0:" + std::string(kUsage)},
        {{"add-group", "Folder"}, "0:[g2] Folder\n"},
        // Only the first start imports the default list (and skips an id when it fails).
        {{"add-group", "Sub", "--parent", "g2"}, "0:[g3] Sub\n"},
        {{"add-channel", url, "--name", "W", "--group", "g3"}, "0:[c1] W(4/4)\n"},
        {{"add-channel", url, "--name", "Again"}, "1!A channel with this address exists already."},
        {{}, "2?no command"},
        {{"frobnicate"}, "2?unknown command frobnicate"},
        {{"--app-dir"}, "2?--app-dir needs a folder"},
        {{"import", "x", "--group"}, "2?bad option --group"},
        {{"add-group", "x", "--parent", "c1"}, "2?not a group: c1"},
        {{"set", "c1", "extra"}, "2?unexpected argument extra"},
        {{"mark", "c1", "1"}, "2?mark needs cID, N and read|unread|flag|unflag|delete"},
        {{"log", "--lines", "-1"}, "2?--lines needs a number"},
        {{"options", "Nothing"}, "2?unknown setting Nothing"},
        {{"options", "ThreadNum", "5", "6"}, "2?options takes at most a KEY and a VALUE"}};
    // Node ids are read strictly: nothing that wraps or trails is taken for g2 or c1.
    for (const char* bad :
         {"4294967298", "g4294967298", "4294967297", "-1", "+1", "1x", "c 1", "g"})
        steps.push_back({{"delete", bad}, std::string("2?not a node: ") + bad});
    Expect(steps);
    Expect({{{"rename", "c1", "Renamed"}, "0:"},
            {{"set", "c1", "--max-items", "5"}, "1!At least 10 items are kept."},
            {{"set", "c1", "--interval", "15"}, "0:[c1] Renamed(4/4)\n"},
            {{"set", "c9", "--name", "N"}, "1!no such channel: c9"},
            {{"move", "g2", "g3"}, "1!a group cannot be moved into its own subtree"},
            {{"move", "g3", "g3"}, "1!a group cannot be moved into itself"},
            {{"move", "g2", "top"}, "1!the node is at the top level already"},
            {{"move", "c1", "c1"}, "1!a node can only be moved into a group or to the top level"},
            {{"move", "c1", "g9"}, "1!no such group: g9"},
            {{"move", "c1", "top"}, "0:"},
            {{"delete-articles", "c1"}, "0:[c1] Renamed(0/0)\n"},
            {{"page", "c1"}, "1!the channel has no page yet; update it first"},
            {{"delete", "g2"}, "0:"},
            {{"delete", "c1"}, "0:"},
            {{"list"}, "0:"}});
}

TEST_F(CommandLineTest, FailedUpdatesAndStoppedDeletesSayWhy) {
    server.Serve("/html", "<html><body>not a feed</body></html>", "text/html");
    Expect({{{"add-group", "G"}, "0"},
            {{"add-channel", server.Url("/missing.xml"), "--name", "Gone"},
             "1:[c1] Gone(0/0)\n",
             "c1 was added, but its first update failed (HTTP 404)"},
            {{"add-channel", server.Url("/html"), "--name", "Page"}, "1"},
            {{"update", "--all"},
             "1:c1 Gone: failed (HTTP 404)\nc2 Page: failed (not an RSS or Atom document)\n"
             "2 channels: 0 ok, 0 unchanged, 2 failed, 0 stopped\n"}});
    // The tree says which channels fail, why and since when, in every later run.
    const std::string today = platform::WideToUtf8(FormatNow(L"%Y-%m-%d"));
    const std::string list = Run({"list"}).out;
    EXPECT_NE(list.find("\n[c1] Gone(0/0)  failed: HTTP 404 since " + today), std::string::npos)
        << list;
    EXPECT_NE(list.find(", never updated\n[c2] Page(0/0)  failed: not an RSS or Atom document"),
              std::string::npos)
        << list;
    // A delete that stops says where and what stayed: a folder where Page's page goes cannot
    // be removed as a file.
    std::filesystem::create_directories(app / "userdata/rss/ReadRecord/Data/rss2.html");
    Expect({{{"move", "c2", "g2"}, "0:"},
            {{"delete", "g2"},
             "1!the delete stopped at c2 Page, whose files cannot be deleted; "
             "g2 G stays, holding 1 of its channels"},
            {{"delete", "c2"}, "1!c2 Page was not deleted: its files cannot be deleted"}});
}

TEST_F(CommandLineTest, AddChannelTakesTheFirstFeedOfAPage) {
    // Two feeds, the first titled with markup and a line break; and a page without any.
    server.Serve("/page.html",
                 "<html><head><link rel=alternate type=application/rss+xml href=world.xml "
                 "title='&lt;b>World&#10;[c9] x'><link rel=alternate type=application/atom+xml "
                 "href='/china.xml?a=1&amp;b=2'></head></html>",
                 "text/html");
    server.Serve("/plain.html", "<html><body>no feeds</body></html>", "text/html");
    const std::string world = server.Url("/world.xml");
    Expect({{{"add-channel", server.Url("/page.html"), "--list-feeds"},
             "0:" + world + " \"<b>World [c9] x\"\n" + server.Url("/china.xml?a=1&b=2") + "\n"},
            {{"add-channel", world, "--list-feeds"}, "0:" + world + "\n"},
            {{"add-channel", server.Url("/plain.html"), "--list-feeds"},
             "1!no feed found on this page"},
            {{"add-channel", server.Url("/gone"), "--list-feeds"},
             "1!cannot read " + server.Url("/gone") + ": HTTP 404"},
            {{"add-channel", world, "--list-feeds", "--name", "x"},
             "2?add-channel --list-feeds needs a URL and nothing else"},
            {{"list"}, "0:"},
            {{"add-channel", server.Url("/page.html"), "--name", "W"},
             "0:found feed: " + world + " \"<b>World [c9] x\"\n[c1] W(4/4)\n"},
            {{"list"}, "0:[c1] W(4/4)\n"}});
    // The feed it stands for is checked as a typed address is.
    const Result again = Run({"add-channel", server.Url("/page.html"), "--name", "W"});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.err, "tessavin: A channel with this address exists already.\n");
}

TEST_F(CommandLineTest, RefusalsOfTheDialogRulesAndImportSummaries) {
    const std::string name = "name has 1 to 260 characters, not only blanks and no control "
                             "characters";
    // The summary says what of a list was left out or changed.
    WriteFileBytes(
        app / "odd.opml",
        "<opml version=\"1.0\"><body><outline kind=\"nkFeed\" text=\"Odd\" "
        "itemMax=\"5\" interval=\"1000\" xmlUrl=\"" +
            server.Url("/world.xml") +
            "\"/><outline text=\"x&#10;[c99] fake(0/0)\" xmlUrl=\"http://127.0.0.1:1/x\" "
            "itemMax=\"4294967295\"/><outline text=\"js\" xmlUrl=\"javascript:x\"/>"
            "<outline text=\"f\" xmlUrl=\"file:///etc/passwd\"/></body></opml>");
    // A list with nothing sound in it says so rather than "no groups or channels".
    WriteFileBytes(app / "bad.opml", "<opml version=\"1.0\"><body><outline text=\"js\" "
                                     "xmlUrl=\"javascript:x\"/></body></opml>");
    Expect({{{"add-group", "   "}, "1!a group " + name},
            {{"add-channel", server.Url("/world.xml"), "--name", "\t"},
             "1!The channel name must not be empty."},
            {{"add-channel", "http://127.0.0.1:1/a", "--name", "A", "--description", "b\a"},
             "1!The description must not contain line breaks or other control characters."},
            {{"import", app / "odd.opml"},
             "0:imported 0 groups and 2 channels, 2 left out (not an http address), 1 name "
             "cleaned, 2 item limits clamped, 1 interval clamped\n"},
            {{"import", app / "bad.opml"},
             "0:imported 0 groups and 0 channels, 1 left out (not an http address)\n"},
            {{"set", "c1", "--name", "bad\x01"},
             "1!The name must not contain line breaks or other control characters."},
            {{"rename", "c1", ""}, "1!a " + name},
            {{"set", "c1", "--interval", "1000"}, "1!The update interval is at most 240 minutes."},
            {{"import", app / "list.opml", "--group", "g9"}, "1!no such group: g9"}});
    // An import says what is wrong with the file or the address.
    WriteFileBytes(app / "notes.txt", "just some notes");
    WriteFileBytes(app / "empty.opml", "<opml version=\"1.0\"><body></body></opml>");
    std::vector<Step> steps = {
        {{"import", app / "empty.opml"}, "1!no groups or channels in " + app / "empty.opml"}};
    for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {app / "missing.opml", ": no such file"},
             {app / "notes.txt", ": not an OPML list"},
             {server.Url("/gone.opml"), ": the download failed (HTTP 404)"},
             {"ftp://127.0.0.1/list.opml", ": not an http address"}})
        steps.push_back({{"import", path}, "1!cannot import " + path + reason});
    Expect(steps);
}

TEST_F(CommandLineTest, DamagedCatalogueAndLog) {
    ASSERT_EQ(Run({"--log", "import", app / "list.opml"}).code, 0);
    ASSERT_EQ(Run({"rename", "c2", "W2"}).code, 0); // a second save: a good copy exists
    const std::string dat = app / "userdata/rss/ReadRecord/Common/Channel.dat";
    WriteFileBytes(dat, ReadFileBytes(dat).substr(0, 40));
    Result r = Run({"list"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("Channel.dat could not be read; it was kept as"), std::string::npos);
    // Without a good copy nothing is opened.
    std::remove((dat + ".bak").c_str());
    WriteFileBytes(dat, "\x05");
    r = Run({"rename", "c2", "X"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Channel.dat cannot be read and there is no good copy"),
              std::string::npos);
    // The log of the last run with --log, as UTF-8 text.
    ASSERT_EQ(Run({"--log", "add-group", "\xE4\xB8\xAD"}).code, 1);
    r = Run({"log"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Channel.dat cannot be read"), std::string::npos);
    r = Run({"log", "--lines", "1"});
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
    // The newest file that is a .log file.
    const std::string folder = app / "RssConfig/Log";
    std::filesystem::remove_all(folder);
    Expect({{{"log"}, "1!no log file in " + folder + " (run a command with --log)"}});
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& [file, age] :
         std::vector<std::pair<std::string, int>>{{"/a.log", 1}, {"/b.txt", -1}, {"/c.log", 0}}) {
        WriteFileBytes(folder + file, std::string{file[1], '\0'});
        std::filesystem::last_write_time(folder + file, now - std::chrono::hours(age));
    }
    Expect({{{"log"}, "0:c"}});
    // As `log` has always shown it: CRs dropped (a surrogate pair split by one is joined), a
    // lone surrogate '?', an odd last byte dropped.
    std::string bytes;
    for (char16_t unit : u"a\r\n\xD83D\r\xDE00\xDC00\xD800x\xFFFD\xD800\xD800\xDC00")
        bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    bytes.pop_back(); // of the terminating 0: an odd count
    EXPECT_EQ(LogCommand::Decode(bytes), "a\n\xF0\x9F\x98\x80??x\xEF\xBF\xBD?\xF0\x90\x80\x80");
    const std::string text = "a\n\nb\n\n";
    for (const auto& [lines, expected] : std::vector<std::pair<long, std::string>>{
             {-1, text}, {0, ""}, {1, "\n"}, {2, "b\n\n"}, {3, "\nb\n\n"}, {9, text}})
        EXPECT_EQ(LogCommand::LastLines(text, lines), expected) << lines;
    EXPECT_EQ(LogCommand::LastLines("x\ny", 1), "y");
}

TEST_F(CommandLineTest, ExportWritesOpmlThatImportsIntoTheSameTree) {
    ASSERT_EQ(Run({"add-group", "News & \"Views\""}).code, 0);
    ASSERT_EQ(Run({"add-group", "Empty", "--parent", "g2"}).code, 0);
    // (Their first updates fail: nothing listens there.)
    Run({"add-channel", "http://127.0.0.1:1/a?x=1&y=2", "--name", "A", "--group", "g2",
         "--description", "say \"hi\" & <bye>"});
    ASSERT_EQ(Run({"set", "c1", "--interval", "15", "--max-items", "50"}).code, 0);
    Run({"add-channel", "http://127.0.0.1:1/b", "--name", "\xE4\xB8\xAD"});
    const std::string exported =
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
        "</opml>\n";
    const std::string file = app / "export.opml";
    Expect({{{"export", "-"}, "0:" + exported},
            {{"export", file}, "0:exported 2 groups and 2 channels to " + file + "\n"},
            {{"export", app / "no/folder.opml"}, "1!cannot write " + app / "no/folder.opml"}});
    EXPECT_EQ(ReadFileBytes(file), exported);

    // Into an empty catalogue: the same tree, names, addresses and settings.
    TempDir other;
    WriteFileBytes(other / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    ASSERT_EQ(Run({"import", file}, other.Path()).code, 0);
    EXPECT_EQ(Run({"export", "-"}, other.Path()).out, exported);
    // Line ends survive as references; control characters XML cannot carry are dropped.
    EXPECT_EQ(OpmlExport::Escape("a\tb\r\nc\x01"), "a&#9;b&#13;&#10;c");
    // A second import finds every channel present.
    EXPECT_EQ(Run({"import", file}, other.Path()).out,
              "imported 0 groups and 0 channels, 2 already present\n");
}

TEST_F(CommandLineTest, OptionsPrintCheckAndWriteTheSettings) {
    const std::string all = "UpdateState=0\nThreadNum=5\nProxyState=0\nProxyAddress=\nProxyPort=0\n"
                            "UserName=\nUserPassword=%\nLinkNum=1\nLinkTime=10\nAllowHttps=0\n"
                            "NotifyNewItems=1\n";
    const size_t password = all.find('%');
    Expect({{{"options"}, "0:" + std::string(all).erase(password, 1)},
            {{"options", "UserPassword", "secret"}, "0:"},
            {{"options", "UserPassword"}, "0:***\n"},
            {{"options"}, "0:" + std::string(all).replace(password, 1, "***")}});
    const std::string settings = app / "rss/RssUserCfg/Quorvel.ini";
    // The file but its log name, which every start advances.
    auto stored = [&settings] {
        std::string bytes = ReadFileBytes(settings);
        return bytes.substr(0, bytes.find("LogName="));
    };
    const std::string before = stored();
    // Refused by the dialog's rules, or as the file would cut or lose them: the file stays.
    Expect({{{"options", "ThreadNum", "31"}, "1!ThreadNum must be a whole number from 1 to 30"},
            {{"options", "ThreadNum", "+5"}, "1!ThreadNum must be a whole number from 1 to 30"},
            {{"options", "LinkTime", "36"},
             "1!LinkTime must be a whole number of seconds from 10 to 35"},
            {{"options", "LinkNum", "0"}, "1!LinkNum must be a whole number from 1 to 5"},
            {{"options", "ProxyState", "1"}, "1!ProxyAddress must be set while ProxyState is 1"},
            {{"options", "AllowHttps", "2"}, "1!AllowHttps must be 0 or 1"},
            {{"options", "NotifyNewItems", "yes"}, "1!NotifyNewItems must be 0 or 1"},
            {{"options", "UserName", "a\nb"}, "1!UserName must not hold control characters"},
            {{"options", "UserPassword", std::string(388, 'p')},
             "1!UserPassword is longer than 387 bytes"},
            {{"options", "UserName", std::string(256, 'x')},
             "1!UserName is longer than 255 characters"}});
    EXPECT_EQ(stored(), before);

    // The proxy in its order: address, port, then the switch.
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"ProxyAddress", "proxy.local"},
                                                          {"ProxyPort", "3128"},
                                                          {"ProxyState", "1"},
                                                          {"ThreadNum", "30"},
                                                          {"AllowHttps", "1"},
                                                          {"NotifyNewItems", "0"},
                                                          {"UserName", std::string(255, 'x')}})
        Expect({{{"options", key, value}, "0:"}, {{"options", key}, "0:" + value + "\n"}});
    Expect({{{"options", "ProxyPort", "0"},
             "1!ProxyPort must be a whole number from 1 to 65535 while ProxyState is 1"}});
}

TEST(SearchCommand, ATitleReachesTheTerminalAsOneLineWithoutControls) {
    // ESC sequences, a C1 control, a line break, a reference to ESC and bytes that are not
    // UTF-8 never reach the terminal; markup is read as text.
    EXPECT_EQ(SearchCommand::TerminalLine("<b>a</b>\x1b[31mb&#27;c\xC2\x9B\n d\xFF"),
              "a [31mb\xEF\xBF\xBD"
              "c d");
}
