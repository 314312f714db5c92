#include "opml/OpmlImport.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "catalogue/Channel.h"
#include "catalogue/Group.h"
#include "config/Config.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

namespace {

class OpmlImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "rss/RssUserCfg");
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
    }
    int Import(const std::string& body, uint32_t parent, uint32_t firstGroup,
               uint32_t firstChannel) {
        WriteFileBytes(app / "list.opml", body);
        return opml.Import(app.WPath() + L"list.opml", parent, firstGroup, firstChannel);
    }
    std::string Opml(const std::string& outlines) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\"><body>" + outlines +
               "</body></opml>";
    }
    const CGroup& G(size_t i) { return *opml.Groups().at(i); }
    const CChannel& C(size_t i) { return *opml.Channels().at(i); }

    TempDir app;
    LogCapture log{app.Path()};
    platform::MessageQueue frame;
    COpmlImport opml{&frame};
};

} // namespace

TEST_F(OpmlImportTest, OtherReadersListsKeepTheirFoldersNamesAndAddresses) {
    // Kindless folders (text only, title only, nested), feeds with type and htmlUrl, entities,
    // the word "outline" in the head and in values, feeds written with their own end tags; a
    // second top-level group under the given parent again.
    const std::string list =
        "<?xml version=\"1.0\"?><opml version=\"2.0\"><head><title>My outline export</title>"
        "</head><body>"
        "<outline text=\"Tech &amp; Science\">"
        "<outline type=\"rss\" text=\"A &lt;1&gt;\" xmlUrl=\"http://a/?n=3&amp;x=1\" "
        "htmlUrl=\"http://a/outline/x\"></outline>"
        "<outline title=\"Inner\"><outline type=\"rss\" title=\"news outline\" "
        "xmlUrl=\"http://b/\"/></outline>"
        "<outline type=\"rss\" text=\"C\" xmlUrl=\"http://c/\"></outline>"
        "</outline>"
        "<outline kind=\"nkDOPML\" text=\"Later\"><outline kind=\"nkFeed\" text=\"late\" "
        "xmlUrl=\"http://l/\"/></outline>"
        "<outline text=\"Empty folder\"/>"
        "<outline type=\"link\" text=\"a link\" url=\"http://l/\"/>"
        "<outline kind=\"other\" text=\"skipped\" xmlUrl=\"http://s/\"/>"
        "<outline text=\"top\" xmlUrl=\"http://t/\"/>"
        "</body></opml>";
    ASSERT_EQ(Import(list, 7, 1, 1), 1);
    ASSERT_EQ(opml.Groups().size(), 3u);
    EXPECT_EQ(G(0).GetName(), L"Tech & Science");
    EXPECT_EQ(G(0).GetParentId(), 7u);
    EXPECT_EQ(G(1).GetName(), L"Inner");
    EXPECT_EQ(G(1).GetParentId(), 1u);
    EXPECT_EQ(G(2).GetParentId(), 7u);
    ASSERT_EQ(opml.Channels().size(), 5u);
    EXPECT_EQ(C(0).GetName(), L"A <1>");
    EXPECT_EQ(C(0).GetUrl(), L"http://a/?n=3&x=1");
    EXPECT_EQ(C(0).GetGroupId(), 1u);
    EXPECT_EQ(C(1).GetName(), L"news outline");
    EXPECT_EQ(C(1).GetGroupId(), 2u);
    EXPECT_EQ(C(2).GetName(), L"C");
    EXPECT_EQ(C(2).GetGroupId(), 1u); // the end tag of B closed nothing but B
    EXPECT_EQ(C(3).GetGroupId(), 3u);
    EXPECT_EQ(C(4).GetUrl(), L"http://t/");
    EXPECT_EQ(C(4).GetGroupId(), 7u);
    EXPECT_EQ(C(4).GetFileStem(), L"rss5");
    // Not XML: refused as it stands.
    EXPECT_EQ(Import("<opml version=\"1.0\"><body><outline text=\"x\" xmlUrl=\"http://x/\">"
                     "</body></opml>",
                     0, 1, 1),
              0);
}

TEST_F(OpmlImportTest, KnownAddressesAreLeftOutAndIdsStayConsecutive) {
    opml.isNewAddress = [](const std::wstring& address) { return address != L"http://known/"; };
    ASSERT_EQ(Import(Opml("<outline kind=\"nkPath\" text=\"Old\"><outline kind=\"nkFeed\" "
                          "text=\"k\" xmlUrl=\"http://known/\"/></outline>"
                          "<outline kind=\"nkPath\" text=\"Empty on purpose\"/>"
                          "<outline text=\"a\" xmlUrl=\"http://a/\"/>"
                          "<outline text=\"a again\" xmlUrl=\"http://a/\"/>"
                          "<outline text=\"b\" xmlUrl=\"http://b/\"/>"),
                     0, 3, 7),
              1);
    EXPECT_EQ(opml.Counts().alreadyPresent, 2u);
    // The group that held only a known channel goes; a group empty in the list stays.
    ASSERT_EQ(opml.Groups().size(), 1u);
    EXPECT_EQ(G(0).GetName(), L"Empty on purpose");
    EXPECT_EQ(G(0).GetId(), 3u);
    ASSERT_EQ(opml.Channels().size(), 2u);
    EXPECT_EQ(C(0).GetId(), 7u);
    EXPECT_EQ(C(1).GetId(), 8u);
    EXPECT_EQ(C(1).GetUrl(), L"http://b/");
    EXPECT_TRUE(frame.Drain().empty()); // a file read without a fault posts nothing
}

TEST_F(OpmlImportTest, IntervalsAndItemLimitsTakeTheDialogsRanges) {
    // Out of range: the nearest bound, however large; 0, negative or unreadable: the default.
    const std::pair<const char*, uint32_t> intervals[] = {
        {"0", 40}, {"-1", 40},   {"abc", 40},  {"12x", 40},  {"", 40},
        {"5", 10}, {" 30 ", 30}, {"240", 240}, {"241", 240}, {"99999999999999999999", 240}};
    for (auto [text, value] : intervals)
        EXPECT_EQ(COpmlImport::IntervalValue(text), value) << text;
    const std::pair<const char*, uint32_t> limits[] = {
        {"0", 400},     {"-5", 400},      {"many", 400},        {"9", 10},
        {"1000", 1000}, {"100000", 1000}, {"4294967295", 1000}, {"4294967296", 1000}};
    for (auto [text, value] : limits)
        EXPECT_EQ(COpmlImport::ItemMaxValue(text), value) << text;
    EXPECT_EQ(COpmlImport::ItemMaxValue("-99999999999999999999"), 400u);
    ASSERT_EQ(Import(Opml("<outline text=\"a\" xmlUrl=\"http://a/\" interval=\"0\" "
                          "itemMax=\"4294967295\"/><outline text=\"b\" xmlUrl=\"http://b/\" "
                          "interval=\"4294967295\"/><outline text=\"c\" xmlUrl=\"http://c/\" "
                          "interval=\"30\" itemMax=\"50\"/>"),
                     0, 1, 1),
              1);
    EXPECT_EQ(C(0).GetInterval(), uint32_t{CChannel::kDefaultInterval});
    EXPECT_EQ(C(0).GetMaxItems(), 1000u);
    EXPECT_EQ(C(1).GetInterval(), 240u);
    EXPECT_EQ(C(1).GetMaxItems(), uint32_t{CChannel::kDefaultMaxItems}); // none given
    EXPECT_EQ(C(2).GetInterval(), 30u);
    EXPECT_EQ(C(2).GetMaxItems(), 50u);
    EXPECT_EQ(opml.Counts().intervalsClamped, 2u);
    EXPECT_EQ(opml.Counts().itemLimitsClamped, 1u);
}

TEST_F(OpmlImportTest, NamesAndAddressesFollowTheDialogRules) {
    const std::string longName =
        "<outline text=\"" + std::string(300, 'n') + "\" xmlUrl=\"http://d/\"/>";
    // Addresses of 261 and 260 characters: the first one is too long.
    const std::string longAddress =
        "<outline text=\"long\" xmlUrl=\"http://l/" + std::string(252, 'x') + "\"/>";
    const std::string fullAddress = "http://l/" + std::string(251, 'x');
    const std::string list = Opml(
        // A line feed and an escape that would forge or colour a line of the list output.
        "<outline text=\"fake&#10;[c99] fake(0/0)\" xmlUrl=\"http://a/\" "
        "description=\"one\ttwo\x1b[31m\"/>"
        "<outline text=\" &#13;&#10; \" xmlUrl=\"http://b/\"/>" // blank once cleaned
        "<outline xmlUrl=\"http://c/\"/>" +                     // no name at all
        longName +
        // Not channels of this reader: left out.
        "<outline text=\"js\" xmlUrl=\"javascript:alert(1)\"/>"
        "<outline text=\"file\" xmlUrl=\"file:///etc/passwd\"/>"
        "<outline kind=\"nkFeed\" text=\"no address\"/>"
        "<outline text=\"ftp\" xmlUrl=\"ftp://f/x.xml\"/>"
        "<outline text=\"secure\" xmlUrl=\"https://s/x.xml\"/>"
        "<outline text=\"split\" xmlUrl=\"http://s/&#10;x\"/>" +
        longAddress +
        "<outline text=\"Only bad\"><outline text=\"j\" xmlUrl=\"javascript:x\"/></outline>"
        // Groups: a control character, and a blank name whose channel goes one level up.
        "<outline text=\"Grp&#9;One\"><outline text=\"e\" xmlUrl=\"http://e/\"/></outline>"
        "<outline text=\"  \"><outline text=\"f\" xmlUrl=\"http://f/\"/></outline>"
        "<outline text=\"full\" xmlUrl=\"" +
        fullAddress + "\"/>");
    ASSERT_EQ(Import(list, 7, 1, 1), 1);
    ASSERT_EQ(opml.Channels().size(), 7u);
    EXPECT_EQ(C(0).GetName(), L"fake [c99] fake(0/0)");
    EXPECT_EQ(C(0).GetDescription(), L"one two [31m");
    EXPECT_EQ(C(1).GetName(), L"http://b/");
    EXPECT_EQ(C(2).GetName(), L"http://c/");
    EXPECT_EQ(C(3).GetName(), std::wstring(260, L'n'));
    EXPECT_EQ(C(4).GetName(), L"e");
    EXPECT_EQ(C(5).GetName(), L"f");
    EXPECT_EQ(C(5).GetGroupId(), 7u);
    EXPECT_EQ(C(6).GetUrl(), platform::Utf8ToWide(fullAddress));
    ASSERT_EQ(opml.Groups().size(), 1u);
    EXPECT_EQ(G(0).GetName(), L"Grp One");
    EXPECT_EQ(C(4).GetGroupId(), G(0).GetId());
    const ImportCounts& counts = opml.Counts();
    EXPECT_EQ(counts.notHttp, 7u);
    EXPECT_EQ(counts.addressTooLong, 1u);
    EXPECT_EQ(counts.namesCleaned, 5u); // a missing name taking the address is not counted
    EXPECT_EQ(counts.descriptionsCleaned, 1u);
    // With AllowHttps=1 an https address is a channel like an http one.
    ASSERT_EQ(CConfig().WriteAllowHttps(1), 1);
    COpmlImport secure;
    WriteFileBytes(app / "s.opml", Opml("<outline text=\"s\" xmlUrl=\"https://s/x.xml\"/>"));
    ASSERT_EQ(secure.Import(app.WPath() + L"s.opml", 0, 1, 1), 1);
    EXPECT_EQ(secure.Channels().size(), 1u);
}

TEST_F(OpmlImportTest, FailuresAndTheirReports) {
    EXPECT_EQ(opml.Import(app.WPath() + L"missing.opml", 0, 1, 1), 0);
    EXPECT_TRUE(log.Contains(L"Failed open the opml feed file"));
    EXPECT_TRUE(frame.Drain().empty());
    EXPECT_EQ(Import("", 0, 1, 1), 0);
    EXPECT_TRUE(log.Contains(L"Buffer is empty, failed to import channel from channel file"));
    EXPECT_EQ(Import("<rss version=\"2.0\"><channel><outline/></channel></rss>", 0, 1, 1), 0);
    auto posted = frame.Drain();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].message, 11904u);
    EXPECT_EQ(posted[1].wParam, 11745u);
    EXPECT_TRUE(opml.Channels().empty());
    EXPECT_EQ(
        opml.Import(L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x.opml", 0, 1, 1), 0);
    EXPECT_EQ(frame.Drain().back().wParam, 11745u);
}

TEST_F(OpmlImportTest, AGroupWithAChannelOverHttp) {
    TestHttpServer server;
    server.Serve("/list.opml",
                 Opml("<outline kind=\"nkPath\" text=\"News\"><outline kind=\"nkFeed\" "
                      "text=\"A\" xmlUrl=\"http://a/rss.xml\" description=\"about A\"/></outline>"),
                 "text/xml");
    server.Start();
    std::wstring address = platform::Utf8ToWide(server.Url("/list.opml"));
    address.replace(0, 7, L"HTTP://");
    ASSERT_EQ(opml.Import(address, 4, 5, 9), 1);
    ASSERT_EQ(opml.Groups().size(), 1u);
    ASSERT_EQ(opml.Channels().size(), 1u);
    EXPECT_EQ(G(0).GetId(), 5u);
    EXPECT_EQ(G(0).GetName(), L"News");
    EXPECT_EQ(G(0).GetParentId(), 4u); // a downloaded list starts at the top level too
    EXPECT_EQ(C(0).GetId(), 9u);
    EXPECT_EQ(C(0).GetName(), L"A");
    EXPECT_EQ(C(0).GetGroupId(), 5u);
    EXPECT_EQ(C(0).GetFileStem(), L"rss9");
    EXPECT_EQ(C(0).GetUrl(), L"http://a/rss.xml");
    EXPECT_EQ(C(0).GetDescription(), L"about A");
}

TEST_F(OpmlImportTest, TheDeclaredEncodingIsConverted) {
    // "新闻" (big5: "新聞") in each encoding, named by the declaration; none declared is UTF-8.
    const struct {
        const char* encoding;
        std::string name;
        const wchar_t* expected;
    } cases[] = {{"gb2312", "\xD0\xC2\xCE\xC5", L"\u65B0\u95FB"},
                 {"gbk", "\xD0\xC2\xCE\xC5", L"\u65B0\u95FB"},
                 {"GB18030", "\xD0\xC2\xCE\xC5", L"\u65B0\u95FB"},
                 {"big5", "\xB7\x73\xBB\x44", L"\u65B0\u805E"},
                 {"ISO-8859-1", "Caf\xE9", L"Caf\u00E9"},
                 {"", "\xE6\x96\xB0\xE9\x97\xBB", L"\u65B0\u95FB"}};
    for (const auto& [encoding, name, expected] : cases) {
        COpmlImport o;
        const std::string declaration =
            *encoding ? std::string("<?xml version='1.0' encoding='") + encoding + "'?>" : "";
        WriteFileBytes(app / "e.opml", declaration +
                                           "<opml version=\"1.0\"><body><outline text=\"" + name +
                                           "\" xmlUrl=\"http://x/\"/></body></opml>");
        ASSERT_EQ(o.Import(app.WPath() + L"e.opml", 0, 1, 1), 1) << encoding;
        ASSERT_EQ(o.Channels().size(), 1u) << encoding;
        EXPECT_EQ(o.Channels()[0]->GetName(), expected) << encoding;
    }
    // UTF-16 with its byte order mark.
    const std::wstring wide =
        L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><opml version=\"1.0\">"
        L"<body><outline text=\"\u65B0\" xmlUrl=\"http://x/\"/></body></opml>";
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : wide)
        utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    COpmlImport o16;
    WriteFileBytes(app / "u16.opml", utf16);
    ASSERT_EQ(o16.Import(app.WPath() + L"u16.opml", 0, 1, 1), 1);
    ASSERT_EQ(o16.Channels().size(), 1u);
    EXPECT_EQ(o16.Channels()[0]->GetName(), L"\u65B0");
    // An encoding that cannot be converted is refused, not guessed.
    COpmlImport unknown(&frame);
    WriteFileBytes(app / "x.opml", "<?xml version=\"1.0\" encoding=\"x-unknown\"?><opml "
                                   "version=\"1.0\"><body/></opml>");
    EXPECT_EQ(unknown.Import(app.WPath() + L"x.opml", 0, 1, 1), 0);
    EXPECT_EQ(frame.Drain().back().wParam, 11745u);
}

TEST_F(OpmlImportTest, WordsAndUnendedTagsReadInLinearTime) {
    // Megabytes of the tag word in one tag: one record at the most, read at once.
    std::string words;
    for (int i = 0; i < 500000; ++i)
        words += "outline ";
    EXPECT_EQ(Import(Opml(words), 0, 1, 1), 1);
    EXPECT_LE(opml.Channels().size(), 1u);
    // The word inside a value is no tag; the record keeps its attributes.
    std::string list;
    for (int i = 0; i < 50000; ++i)
        list += "<outline kind=\"nkFeed\" text=\"news outline " + std::to_string(i) +
                "\" xmlUrl=\"http://x/" + std::to_string(i) + "\"/>";
    COpmlImport second;
    WriteFileBytes(app / "big.opml", Opml(list));
    ASSERT_EQ(second.Import(app.WPath() + L"big.opml", 0, 1, 1), 1);
    ASSERT_EQ(second.Channels().size(), 50000u);
    EXPECT_EQ(second.Channels()[7]->GetName(), L"news outline 7");
    EXPECT_EQ(second.Channels()[7]->GetUrl(), L"http://x/7");
}
