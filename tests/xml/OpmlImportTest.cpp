#include "xml/OpmlImport.h"
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

TEST_F(OpmlImportTest, GroupWithAChannel) {
    ASSERT_EQ(Import(Opml("<outline kind=\"nkPath\" text=\"News\"><outline kind=\"nkFeed\" "
                          "text=\"A\" xmlUrl=\"http://a/rss.xml\" interval=\"5\" itemMax=\"30\" "
                          "description=\"about A\"/></outline>"),
                     0, 5, 9),
              1);
    ASSERT_EQ(opml.Groups().size(), 1u);
    ASSERT_EQ(opml.Channels().size(), 1u);
    EXPECT_EQ(G(0).GetId(), 5u);
    EXPECT_EQ(G(0).GetName(), L"News");
    EXPECT_EQ(G(0).GetParentId(), 0u);
    EXPECT_EQ(C(0).GetId(), 9u);
    EXPECT_EQ(C(0).GetName(), L"A");
    EXPECT_EQ(C(0).GetGroupId(), 5u);
    EXPECT_EQ(C(0).GetFileStem(), L"rss9");
    EXPECT_EQ(C(0).GetUrl(), L"http://a/rss.xml");
    EXPECT_EQ(C(0).GetInterval(), 5u); // no dialog bounds here
    EXPECT_EQ(C(0).GetMaxItems(), 30u);
    EXPECT_EQ(C(0).GetDescription(), L"about A");
    EXPECT_TRUE(frame.Drain().empty());
}

TEST_F(OpmlImportTest, NestingAndASecondTopLevelGroup) {
    ASSERT_EQ(Import(Opml("<outline kind=\"nkPath\" text=\"Outer\">"
                          "<outline kind=\"nkDOPML\" text=\"Inner\">"
                          "<outline kind=\"nkFeed\" text=\"deep\" xmlUrl=\"http://d/\"/></outline>"
                          "<outline kind=\"nkFeed\" text=\"mid\" xmlUrl=\"http://m/\"/></outline>"
                          "<outline kind=\"nkPath\" text=\"Later\">"
                          "<outline kind=\"nkFeed\" text=\"late\" xmlUrl=\"http://l/\"/></outline>"
                          "<outline kind=\"other\" text=\"skipped\" xmlUrl=\"http://s/\"/>"),
                     7, 1, 1),
              1);
    ASSERT_EQ(opml.Groups().size(), 3u);
    EXPECT_EQ(G(0).GetParentId(), 7u); // the given parent
    EXPECT_EQ(G(1).GetParentId(), 1u); // the outer group
    EXPECT_EQ(G(2).GetParentId(), 7u); // a top-level group again
    ASSERT_EQ(opml.Channels().size(), 3u);
    EXPECT_EQ(C(0).GetGroupId(), 2u);
    EXPECT_EQ(C(1).GetGroupId(), 1u);
    EXPECT_EQ(C(2).GetGroupId(), 3u);
}

TEST_F(OpmlImportTest, ListsWithoutKindsAndEarlyEndTags) {
    ASSERT_EQ(Import(Opml("<outline text=\"Folder\"><outline text=\"x\" xmlUrl=\"http://x/\"/>"
                          "</outline><outline kind=\"odd\" text=\"y\" xmlUrl=\"http://y/\"/>"),
                     0, 1, 1),
              1);
    EXPECT_TRUE(opml.Groups().empty());
    ASSERT_EQ(opml.Channels().size(), 3u); // the folder too, and the odd kind after a kindless one
    EXPECT_EQ(C(0).GetUrl(), L"");
    for (const auto& c : opml.Channels())
        EXPECT_EQ(c->GetGroupId(), 0u);

    COpmlImport early;
    WriteFileBytes(app / "early.opml",
                   Opml("<outline kind=\"nkPath\" text=\"G\"><outline kind=\"nkFeed\" text=\"a\" "
                        "xmlUrl=\"http://a/\"></outline><outline kind=\"nkFeed\" text=\"b\" "
                        "xmlUrl=\"http://b/\"/></outline>"));
    ASSERT_EQ(early.Import(app.WPath() + L"early.opml", 0, 1, 1), 1);
    ASSERT_EQ(early.Channels().size(), 2u);
    EXPECT_EQ(early.Channels()[0]->GetGroupId(), 1u);
    EXPECT_EQ(early.Channels()[1]->GetGroupId(), 0u); // its own end tag closed the group
}

TEST_F(OpmlImportTest, Gb2312ListDecodesItsNames) {
    const std::string list =
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><opml version=\"1.0\"><body>"
        "<outline kind=\"nkPath\" text=\"\xD0\xC2\xCE\xC5\"><outline "
        "kind=\"nkFeed\" text=\"\xD6\xD0\xCE\xC4\" xmlUrl=\"http://cn/\"/>"
        "</outline></body></opml>";
    ASSERT_EQ(Import(list, 0, 1, 1), 1);
    EXPECT_FALSE(opml.IsUtf8Document());
    EXPECT_EQ(G(0).GetName(), L"\u65B0\u95FB");
    EXPECT_EQ(C(0).GetName(), L"\u4E2D\u6587");
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

TEST_F(OpmlImportTest, OverHttpFromALoopbackServer) {
    TestHttpServer server;
    server.Serve("/list.opml",
                 Opml("<outline kind=\"nkPath\" text=\"Web\"><outline kind=\"nkFeed\" "
                      "text=\"w\" xmlUrl=\"http://w/\"/></outline>"),
                 "text/xml");
    server.Start();
    std::wstring address = platform::Utf8ToWide(server.Url("/list.opml"));
    address.replace(0, 7, L"HTTP://");
    ASSERT_EQ(opml.Import(address, 4, 10, 20), 1);
    ASSERT_EQ(opml.Groups().size(), 1u);
    EXPECT_EQ(G(0).GetParentId(), 4u); // a downloaded list starts at the top level too
    EXPECT_EQ(C(0).GetGroupId(), 10u);
    EXPECT_EQ(C(0).GetId(), 20u);
}

TEST_F(OpmlImportTest, EncodingDecision) {
    auto utf8 = [this](const std::string& text) {
        COpmlImport o;
        WriteFileBytes(app / "e.opml", text);
        o.Import(app.WPath() + L"e.opml", 0, 1, 1);
        return o.IsUtf8Document();
    };
    EXPECT_TRUE(utf8("<?xml encoding=\"UTF-8\"?><opml version=\"1\"/>"));
    EXPECT_FALSE(utf8("<?xml encoding=\"GB2312\"?><opml version=\"1\"/>"));
    EXPECT_TRUE(utf8("<?xml encoding=\"iso-8859-1\"?><opml version=\"1\"/>"));
    EXPECT_FALSE(utf8("<?xml encoding=\"x\"?><opml version=\"1\"><language>en-us</language>"));
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
