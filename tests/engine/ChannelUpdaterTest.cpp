#include "engine/ChannelUpdater.h"
#include "FeedFixtures.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "catalogue/Channel.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {

class ChannelUpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "CST-8", 1);
        tzset();
        UseAppDirectory(app);
        MakeFolders(app / "data");
        channel.SetId(5);
        channel.SetGroupId(2);
        channel.SetName(L"News");
        channel.SetFileStem(L"rss5");
    }
    // One complete update as a job runs it; the updater lets go of its files at the end.
    ChannelUpdater::Result Update(const std::string& xml) {
        ChannelUpdater updater(channel, app.WPath() + L"data", &frame);
        if (!updater.LoadState())
            return ChannelUpdater::kFailed;
        return updater.Process(xml);
    }
    std::string Page() { return ReadFileBytes(app / "data/rss5.html"); }
    std::string State() { return ReadFileBytes(app / "data/rss5.flg"); }
    void SetState(const std::string& s) { WriteFileBytes(app / "data/rss5.flg", s); }

    TempDir app;
    LogCapture log{app.Path()};
    CChannel channel;
    platform::MessageQueue frame;
};

// The ids on the page, in page order.
std::vector<int> PageIds(const std::string& page) {
    std::vector<int> ids;
    const std::string marker = "<DIV class = gn_stories id=";
    for (size_t p = page.find(marker); p != std::string::npos; p = page.find(marker, p + 1))
        ids.push_back(std::atoi(page.c_str() + p + marker.size()));
    return ids;
}

} // namespace

TEST_F(ChannelUpdaterTest, FirstUpdateWritesTheGoldenUtf8PageAndStateFile) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>T"
        "</title><lastBuildDate>Sun, 03 Dec 2006 10:00:00 GMT</lastBuildDate>\n"
        "<item><title>First</title><link>http://example.com/1</link><description>&lt;b&gt;Hi"
        "&lt;/b&gt; \xE4\xB8\xAD</description><author>ann</author><pubDate>Sun, 3 Dec 2006 "
        "10:00:00 GMT</pubDate></item>\n<item><title><![CDATA[A & B]]></title><link>\n"
        "  http://example.com/2\n</link><description>plain</description></item>\n"
        "</channel></rss>";
    ASSERT_EQ(Update(xml), ChannelUpdater::kWritten);
    const std::string item1 =
        "<DIV class = gn_stories id=1_contentdiv><DIV class=gn_storytitle onMouseOver=\"this.style."
        "backgroundColor='#E3E8F2'\"title=\"Click open/close\" style=\"CURSOR: hand\" onclick="
        "open_click(1,true) onmouseout=\"this.style.backgroundColor=''\"><IMG id=1_open src=\""
        "HtmlStyle/arrowdown.gif\"name=1_open><A class=gn_storytitle id=1_title title=\"View "
        "detail\" style=\"FONT-WEIGHT:bold\" href=\"javascript:go_read('025212A0',2,5,1,'http://"
        "example.com/1')\" name=1_title><font class='title_unread'>First</font></A></DIV><DIV "
        "class=gn_storydetails id=1_content><p><b>Hi</b> \xE4\xB8\xAD</p></DIV><DIV class="
        "gn_storyfooter id=1_footer name=\"1_footer\">ann<SPAN class=sep>|</SPAN><SPAN title=\""
        "publish time\">2006-12-03 18:00:00</SPAN><SPAN class=sep>|</SPAN><A class=icon title="
        "read href=\"javascript:go_read('025212A0',2,5,1,'')\"><IMG class=icon id=1_read src=\""
        "HtmlStyle/unread.gif\" align=absMiddle></A><A class=icon title=flag href=\"javascript:"
        "go_flag(2,5,1)\"><IMG class=icon id=1_flag src=\"HtmlStyle/unflag.gif\" align=absMiddle>"
        "</A><A class=icon title=delete href=\"javascript:go_delete(2,5,1)\"><IMG class=icon id="
        "1_delete src=\"HtmlStyle/delete.gif\"align=absMiddle></A></DIV><script>display_item("
        "document.getElementById(\"1_contentdiv\"));</script></DIV>";
    const std::string item2 =
        "<DIV class = gn_stories id=2_contentdiv><DIV class=gn_storytitle onMouseOver=\"this.style."
        "backgroundColor='#E3E8F2'\"title=\"Click open/close\" style=\"CURSOR: hand\" onclick="
        "open_click(2,true) onmouseout=\"this.style.backgroundColor=''\"><IMG id=2_open src=\""
        "HtmlStyle/arrowdown.gif\"name=2_open><A class=gn_storytitle id=2_title title=\"View "
        "detail\" style=\"FONT-WEIGHT:bold\" href=\"javascript:go_read('025212A0',2,5,2,'http://"
        "example.com/2')\" name=2_title><font class='title_unread'>A & B</font></A></DIV><DIV "
        "class=gn_storydetails id=2_content><p>plain</p></DIV><DIV class=gn_storyfooter id="
        "2_footer name=\"2_footer\"><SPAN class=sep>|</SPAN><SPAN title=\"publish time\"></SPAN>"
        "<SPAN class=sep>|</SPAN><A class=icon title=read href=\"javascript:go_read('025212A0',2,"
        "5,2,'')\"><IMG class=icon id=2_read src=\"HtmlStyle/unread.gif\" align=absMiddle></A><A "
        "class=icon title=flag href=\"javascript:go_flag(2,5,2)\"><IMG class=icon id=2_flag src=\""
        "HtmlStyle/unflag.gif\" align=absMiddle></A><A class=icon title=delete href=\"javascript:"
        "go_delete(2,5,2)\"><IMG class=icon id=2_delete src=\"HtmlStyle/delete.gif\"align="
        "absMiddle></A></DIV><script>display_item(document.getElementById(\"2_contentdiv\"));"
        "</script></DIV>";
    EXPECT_EQ(Page(), kUtf8Head + "2" + kHeadEnd + item1 + item2 + kTail);
    EXPECT_EQ(State(), "F000   http://example.com/1\nF000   http://example.com/2\n");
    EXPECT_EQ(channel.NodeText(), L"News(2/2)");
    EXPECT_EQ(channel.GetLastBuildDate(), "Sun, 03 Dec 2006 10:00:00 GMT");
    EXPECT_EQ(channel.GetLastUpdated().size(), 19u);
}

TEST_F(ChannelUpdaterTest, Gb2312FeedGetsANativePage) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel>"
        "<pubDate>x</pubDate><item><title>\xD6\xD0\xCE\xC4</title><link>http://cn/1</link>"
        "<description>\xD0\xC2&amp;\xCE\xC5</description><author>\xCD\xF5</author></item>"
        "</channel></rss>";
    ASSERT_EQ(Update(xml), ChannelUpdater::kWritten);
    const std::string page = Page();
    const std::string head =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html;\"><link href=\""
        "HtmlStyle\\H20.css\" rel=\"stylesheet\" type=\"text/css\"><script>var totalNum=1";
    EXPECT_EQ(page.substr(0, head.size()), head); // no byte-order mark, bare quote
    EXPECT_NE(page.find("<font class='title_unread'>\xD6\xD0\xCE\xC4</font>"), std::string::npos);
    EXPECT_NE(page.find("_content><p>\xD0\xC2&\xCE\xC5</p></DIV>"), std::string::npos);
    EXPECT_NE(page.find("name=\"1_footer\">\xCD\xF5<SPAN"), std::string::npos);
    EXPECT_EQ(channel.GetLastBuildDate(), "x");
}

TEST_F(ChannelUpdaterTest, Latin1FeedIsConvertedAndLinksStayRaw) {
    std::string xml = FeedXml({{"caf\xE9 cr\xE8me", "http://x/\xE9", "na\xEFve", "Jos\xE9", ""}},
                              "d1", "ISO-8859-1");
    ASSERT_EQ(Update(xml), ChannelUpdater::kWritten);
    const std::string page = Page();
    EXPECT_NE(page.find("title_unread'>caf\xC3\xA9 cr\xC3\xA8me</font>"), std::string::npos);
    EXPECT_NE(page.find("<p>na\xC3\xAFve</p>"), std::string::npos);
    EXPECT_NE(page.find("\">Jos\xC3\xA9<SPAN"), std::string::npos);
    EXPECT_EQ(State(), "F000   http://x/\xE9\n");
}

TEST_F(ChannelUpdaterTest, ItemLimitKeepsTheFirstItemsInDocumentOrder) {
    channel.SetMaxItems(10);
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 15))), ChannelUpdater::kWritten);
    EXPECT_EQ(PageIds(Page()), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_NE(Page().find("<script>var totalNum=10;</script>"), std::string::npos);
    EXPECT_NE(Page().find("title_unread'>T10<"), std::string::npos);
    EXPECT_EQ(Page().find("title_unread'>T11<"), std::string::npos);
    EXPECT_EQ(channel.NodeText(), L"News(10/10)");
}

TEST_F(ChannelUpdaterTest, NewItemsFirstThenRememberedOnesUnderTheLimit) {
    channel.SetMaxItems(10);
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 8), "first")), ChannelUpdater::kWritten);
    // The reader read items 2 and 3 and flagged 5.
    SetState("F000   http://example.com/1\nF100   http://example.com/2\n"
             "F100   http://example.com/3\nF000   http://example.com/4\n"
             "F010   http://example.com/5\nF000   http://example.com/6\n"
             "F000   http://example.com/7\nF000   http://example.com/8\n");
    // 6 items, of which 2, 4, 6 and 8 were known.
    std::vector<FeedItem> items = NumberedItems(20, 21);
    for (int i : {2, 4, 6, 8})
        items.push_back(NumberedItems(i, i)[0]);
    items[2].title = "changed title is not used";
    ASSERT_EQ(Update(FeedXml(items, "second")), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F000   http://example.com/20\nF000   http://example.com/21\n"
                       "F100   http://example.com/2\nF000   http://example.com/4\n"
                       "F000   http://example.com/6\nF000   http://example.com/8\n"
                       "F000   http://example.com/1\nF100   http://example.com/3\n"
                       "F010   http://example.com/5\nF000   http://example.com/7\n");
    const std::string page = Page();
    EXPECT_EQ(PageIds(page), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_NE(page.find("name=3_title><font class='title_unread'>T2</font>"), std::string::npos);
    EXPECT_NE(page.find("id=3_read src=\"HtmlStyle/readed.gif\""), std::string::npos);
    EXPECT_NE(page.find("id=9_flag src=\"HtmlStyle/flaged.gif\""), std::string::npos);
    // Remembered texts come back exactly, without nesting the <p> pairs.
    EXPECT_NE(page.find("id=7_content><p>d1</p></DIV>"), std::string::npos);
    EXPECT_EQ(channel.NodeText(), L"News(8/10)");
    EXPECT_EQ(channel.GetLastBuildDate(), "first"); // the first build date is kept

    // Nine new items: one remembered item still fits, the others are forgotten.
    ASSERT_EQ(Update(FeedXml(NumberedItems(30, 38), "third")), ChannelUpdater::kWritten);
    EXPECT_EQ(State().substr(State().rfind("F", State().size() - 2)),
              "F000   http://example.com/20\n");
    EXPECT_EQ(PageIds(Page()).size(), 10u);
}

TEST_F(ChannelUpdaterTest, DeletedItemsAreNotShownNotCountedAndKeepTheirLines) {
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 6), "one")), ChannelUpdater::kWritten);
    SetState("F100   http://example.com/1\nF001   http://example.com/2\n"
             "F100   http://example.com/3\nF000   http://example.com/4\n"
             "F000   http://example.com/5\nF000   http://example.com/6\n");
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 6), "two")), ChannelUpdater::kWritten);
    EXPECT_EQ(channel.NodeText(), L"News(3/5)");
    // Item numbers are state line numbers: the deleted line 2 leaves a gap.
    EXPECT_EQ(PageIds(Page()), (std::vector<int>{1, 3, 4, 5, 6}));
    EXPECT_NE(State().find("F001   http://example.com/2\n"), std::string::npos);
    // A deleted remembered item that dropped out of the document keeps its line too.
    ASSERT_EQ(Update(FeedXml(NumberedItems(3, 6), "three")), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F100   http://example.com/3\nF000   http://example.com/4\n"
                       "F000   http://example.com/5\nF000   http://example.com/6\n"
                       "F100   http://example.com/1\nF001   http://example.com/2\n");
    EXPECT_EQ(PageIds(Page()), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(channel.NodeText(), L"News(3/5)");
}

TEST_F(ChannelUpdaterTest, EmptyDocumentAndShortStateLines) {
    ASSERT_EQ(Update(FeedXml({}, "empty")), ChannelUpdater::kWritten);
    EXPECT_EQ(Page(), kUtf8Head + "0" + kHeadEnd + kTail);
    EXPECT_EQ(State(), "");
    EXPECT_EQ(channel.NodeText(), L"News(0/0)");
    // A short line keeps its place (line 2 stays item 2's number) and matches nothing.
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 3), "full")), ChannelUpdater::kWritten);
    SetState("F100   http://example.com/1\nF1\nF100   http://example.com/3\n");
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 1), "again")), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F100   http://example.com/1\nF100   http://example.com/3\n");
    EXPECT_NE(Page().find("name=2_title><font class='title_unread'>T3</font>"), std::string::npos);
}

TEST_F(ChannelUpdaterTest, UnchangedDocumentWritesNothing) {
    const std::string xml = FeedXml(NumberedItems(1, 2));
    ASSERT_EQ(Update(xml), ChannelUpdater::kWritten);
    SetState("F100   http://example.com/1\nF000   http://example.com/2\n");
    const std::string page = Page();
    channel.SetCounts(1, 2);
    ASSERT_EQ(Update(xml), ChannelUpdater::kUnchanged);
    EXPECT_EQ(Page(), page);
    EXPECT_EQ(State(), "F100   http://example.com/1\nF000   http://example.com/2\n");
    EXPECT_EQ(channel.NodeText(), L"News(1/2)");
}

TEST_F(ChannelUpdaterTest, RejectedVersionsLeaveThePreviousFilesAlone) {
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 2), "kept")), ChannelUpdater::kWritten);
    const std::string page = Page(), state = State();
    frame.Drain();
    for (const std::string& bad :
         {std::string("<rss version=\"1.0\"><channel><item><link>z</link></item></channel></rss>"),
          std::string("<rss><channel></channel></rss>"), std::string("not xml at all")}) {
        EXPECT_EQ(Update(bad), ChannelUpdater::kFailed);
        EXPECT_EQ(Page(), page);
        EXPECT_EQ(State(), state);
    }
    EXPECT_EQ(channel.GetLastBuildDate(), "kept");
    EXPECT_EQ(log.Count(L"Invalidate version of RSS for channel News"), 3u);
    auto posted = frame.Drain();
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[0].message, 11904u);
    EXPECT_EQ(posted[0].wParam, 11726u);

    // A rejected first document stores no build date either.
    CChannel fresh;
    fresh.SetFileStem(L"rss9");
    ChannelUpdater updater(fresh, app.WPath() + L"data", nullptr);
    ASSERT_TRUE(updater.LoadState());
    EXPECT_EQ(updater.Process("<rss version=\"1.0\">"), ChannelUpdater::kFailed);
    EXPECT_EQ(fresh.GetLastBuildDate(), "");
}

TEST_F(ChannelUpdaterTest, DocumentsWithoutDatesOrDeclarationAreAccepted) {
    const std::string xml = "<rss version=\"2.0\"><channel><item><title>\xE4\xB8\xAD</title>"
                            "<link>http://a/1</link></item></channel></rss>";
    ASSERT_EQ(Update(xml), ChannelUpdater::kWritten);
    EXPECT_EQ(channel.GetLastBuildDate().substr(0, 8), "fnv1a64:");
    EXPECT_EQ(Page().substr(0, 3), "\xEF\xBB\xBF"); // no declaration: UTF-8
    ASSERT_EQ(Update(xml), ChannelUpdater::kUnchanged);
    SetState("F110   http://a/1\n");
    const std::string changed = "<rss version=\"2.0\"><channel><item><title>new</title>"
                                "<link>http://a/2</link></item><item><title>\xE4\xB8\xAD</title>"
                                "<link>http://a/1</link></item></channel></rss>";
    ASSERT_EQ(Update(changed), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F000   http://a/2\nF110   http://a/1\n"); // the marks survived
    EXPECT_EQ(channel.NodeText(), L"News(1/2)");
}

TEST_F(ChannelUpdaterTest, StateFileFailures) {
    // A data folder that cannot hold the file: the state file cannot be created.
    ChannelUpdater missing(channel, app.WPath() + L"no-such-folder", nullptr);
    EXPECT_FALSE(missing.LoadState());
    EXPECT_TRUE(log.Contains(L"Failed to create channel flag file"));

    // Held by another update: refused.
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 1), "a")), ChannelUpdater::kWritten);
    ChannelUpdater holder(channel, app.WPath() + L"data", nullptr);
    ASSERT_TRUE(holder.LoadState());
    ChannelUpdater second(channel, app.WPath() + L"data", nullptr);
    EXPECT_FALSE(second.LoadState());
    EXPECT_TRUE(log.Contains(L"Failed open flgfile!"));
}

TEST_F(ChannelUpdaterTest, CutOffDocumentsAreRefusedAndStrayItemEndsReadLinearly) {
    const std::string full = FeedXml(NumberedItems(1, 3));
    const std::string cut = full.substr(0, full.find("<item><title>T3") + 20);
    EXPECT_EQ(Update(cut), ChannelUpdater::kFailed);
    EXPECT_TRUE(channel.GetLastBuildDate().empty()); // nothing stored
    EXPECT_EQ(Update(full), ChannelUpdater::kWritten);
    EXPECT_EQ(channel.GetTotalCount(), 3u);
    // Megabytes of item ends before the only item start.
    std::string ends;
    for (int i = 0; i < 600000; ++i)
        ends += "</item>";
    channel.SetLastBuildDate(std::string());
    EXPECT_EQ(Update("<rss version=\"2.0\"><channel>" + ends + "<item><link>http://z/</link>" +
                     "</item></channel></rss>"),
              ChannelUpdater::kWritten);
}
