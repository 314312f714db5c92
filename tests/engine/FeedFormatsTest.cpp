#include "FeedFixtures.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "engine/FeedDocument.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {

// One item of a channel page (group 2, channel 5), as the page format writes it.
std::string Item(int n, const std::string& link, const std::string& title,
                 const std::string& description, const std::string& author, const std::string& date,
                 bool read = false, bool flagged = false) {
    const std::string id = std::to_string(n);
    const std::string ids = "2,5," + id;
    return "<DIV class = gn_stories id=" + id +
           "_contentdiv><DIV class=gn_storytitle onMouseOver=\"this.style.backgroundColor='#E3E8F2'"
           "\"title=\"Click open/close\" style=\"CURSOR: hand\" onclick=open_click(" +
           id + ",true) onmouseout=\"this.style.backgroundColor=''\"><IMG id=" + id +
           "_open src=\"HtmlStyle/arrowdown.gif\"name=" + id +
           "_open><A class=gn_storytitle id=" + id +
           "_title title=\"View detail\" style=\"FONT-WEIGHT:bold\" href=\"javascript:go_read('"
           "025212A0'," +
           ids + ",'" + link + "')\" name=" + id + "_title><font class='title_unread'>" + title +
           "</font></A></DIV><DIV class=gn_storydetails id=" + id + "_content><p>" + description +
           "</p></DIV><DIV class=gn_storyfooter id=" + id + "_footer name=\"" + id + "_footer\">" +
           author + "<SPAN class=sep>|</SPAN><SPAN title=\"publish time\">" + date +
           "</SPAN><SPAN class=sep>|</SPAN><A class=icon title=read href=\"javascript:go_read('"
           "025212A0'," +
           ids + ",'')\"><IMG class=icon id=" + id +
           (read ? "_read src=\"HtmlStyle/readed.gif\"" : "_read src=\"HtmlStyle/unread.gif\"") +
           " align=absMiddle></A><A class=icon title=flag href=\"javascript:go_flag(" + ids +
           ")\"><IMG class=icon id=" + id +
           (flagged ? "_flag src=\"HtmlStyle/flaged.gif\"" : "_flag src=\"HtmlStyle/unflag.gif\"") +
           " align=absMiddle></A><A class=icon title=delete href=\"javascript:go_delete(" + ids +
           ")\"><IMG class=icon id=" + id +
           "_delete src=\"HtmlStyle/delete.gif\"align=absMiddle></A></DIV><script>display_item("
           "document.getElementById(\"" +
           id + "_contentdiv\"));</script></DIV>";
}

std::string Page(int total, const std::string& items) {
    return kUtf8Head + std::to_string(total) + kHeadEnd + items + kTail;
}

class FeedFormatsTest : public ::testing::Test {
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
        channel.SetUrl(L"http://feeds.example/dir/feed.xml");
    }
    ChannelUpdater::Result Update(const std::string& xml) {
        ChannelUpdater updater(channel, app.WPath() + L"data", nullptr);
        if (!updater.LoadState())
            return ChannelUpdater::kFailed;
        const ChannelUpdater::Result result = updater.Process(xml);
        failure = updater.FailureReason();
        return result;
    }
    std::string PageFile() { return ReadFileBytes(app / "data/rss5.html"); }
    std::string State() { return ReadFileBytes(app / "data/rss5.flg"); }

    TempDir app;
    LogCapture log{app.Path()};
    CChannel channel;
    std::string failure;
};

// Atom: each kind of title and content, links by rel and xml:base, the feed's author for
// an entry without one, published else updated, and elements matched by namespace URI.
const char kAtomFeed[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<a:feed xmlns:a=\"http://www.w3.org/2005/Atom\" xmlns:x=\"urn:other\" "
    "xml:base=\"http://base.example/blog/\">\n"
    " <a:title>Feed</a:title><a:updated>2006-12-04T00:00:00Z</a:updated>\n"
    " <a:author><a:name>Feed Author</a:name></a:author>\n"
    " <a:entry>\n"
    "  <x:title>not this one</x:title>\n"
    "  <a:title type=\"text\"> A &amp; B &lt;x&gt; </a:title>\n"
    "  <a:link rel=\"edit\" href=\"http://edit.example/1\"/>\n"
    "  <a:link rel=\"alternate\" type=\"text/html\" href=\"http://example.com/1\"/>\n"
    "  <a:content type=\"html\">&lt;p&gt;Hi &lt;b&gt;there&lt;/b&gt;&lt;/p&gt;</a:content>\n"
    "  <a:author><a:name>Ann</a:name></a:author>\n"
    "  <a:published>2006-12-03T10:00:00Z</a:published>\n"
    "  <a:updated>2006-12-04T10:00:00Z</a:updated>\n"
    " </a:entry>\n"
    " <a:entry xml:base=\"archive/\">\n"
    "  <a:title type=\"html\"><![CDATA[<b>Bold</b>]]></a:title>\n"
    "  <a:link href=\"2.html\"/>\n"
    "  <a:summary>not shown: there is content</a:summary>\n"
    "  <a:content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"><p>X<br/>Y</p>"
    "</div></a:content>\n"
    "  <a:updated>2006-12-03T12:30:00+02:00</a:updated>\n"
    " </a:entry>\n"
    " <a:entry>\n"
    "  <a:title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">T<i>3</i></div>"
    "</a:title>\n"
    "  <a:id>urn:uuid:3</a:id>\n"
    "  <a:summary>a &lt; b &#x4E2D;</a:summary>\n"
    " </a:entry>\n"
    "</a:feed>\n";

} // namespace

TEST_F(FeedFormatsTest, AtomGoldenPageWithEachTextTypeLinkAndDate) {
    ASSERT_EQ(Update(kAtomFeed), ChannelUpdater::kWritten) << failure;
    EXPECT_EQ(PageFile(),
              Page(3, Item(1, "http://example.com/1", "A &amp; B &lt;x&gt;",
                           "<p>Hi <b>there</b></p>", "Ann", "2006-12-03 18:00:00") +
                          Item(2, "http://base.example/blog/archive/2.html", "<b>Bold</b>",
                               "<p>X<br/>Y</p>", "Feed Author", "2006-12-03 18:30:00") +
                          Item(3, "urn:uuid:3", "T<i>3</i>", "a &lt; b \xE4\xB8\xAD", "Feed Author",
                               "")));
    EXPECT_EQ(State(),
              "F000   http://example.com/1\nF000   http://base.example/blog/archive/2.html\n"
              "F000   urn:uuid:3\n");
    EXPECT_EQ(channel.GetLastBuildDate(), "2006-12-04T00:00:00Z");
    EXPECT_EQ(channel.NodeText(), L"News(3/3)");
    // The same document again: unchanged by its date, nothing written.
    EXPECT_EQ(Update(kAtomFeed), ChannelUpdater::kUnchanged);
}

TEST_F(FeedFormatsTest, Rss10AndRss091GoldenPages) {
    const std::string rdf =
        "<?xml version=\"1.0\"?>\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
        " <channel rdf:about=\"http://example.com/\"><title>R</title>"
        "<dc:date>2006-12-04T08:00:00+08:00</dc:date></channel>\n"
        " <item rdf:about=\"http://example.com/r1\"><title>A &amp; B</title>"
        "<link>http://example.com/r1</link><description>&lt;p&gt;One&lt;/p&gt;</description>"
        "<dc:creator>Bo</dc:creator><dc:date>2006-12-03T02:00:00Z</dc:date></item>\n"
        " <item rdf:about=\"http://example.com/r2\"><title>Two</title>"
        "<link>http://example.com/r2</link></item>\n"
        "</rdf:RDF>\n";
    ASSERT_EQ(Update(rdf), ChannelUpdater::kWritten) << failure;
    EXPECT_EQ(PageFile(), Page(2, Item(1, "http://example.com/r1", "A &amp; B", "<p>One</p>", "Bo",
                                       "2006-12-03 10:00:00") +
                                      Item(2, "http://example.com/r2", "Two", "", "", "")));
    EXPECT_EQ(channel.GetLastBuildDate(), "2006-12-04T08:00:00+08:00");

    CChannel old;
    old.SetId(5);
    old.SetGroupId(2);
    old.SetFileStem(L"rss6");
    ChannelUpdater updater(old, app.WPath() + L"data", nullptr);
    ASSERT_TRUE(updater.LoadState());
    const std::string rss091 =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
        "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n"
        "<rss version=\"0.91\"><channel><title>Old</title>"
        "<lastBuildDate>Mon, 04 Dec 2006 08:00:00 GMT</lastBuildDate>\n"
        "<item><title>Caf\xE9</title><link>http://example.com/o1</link>"
        "<description>Plain &amp;amp; simple</description></item>\n"
        "</channel></rss>\n";
    ASSERT_EQ(updater.Process(rss091), ChannelUpdater::kWritten) << updater.FailureReason();
    EXPECT_EQ(
        ReadFileBytes(app / "data/rss6.html"),
        Page(1, Item(1, "http://example.com/o1", "Caf\xC3\xA9", "Plain &amp; simple", "", "")));
    EXPECT_EQ(old.GetLastBuildDate(), "Mon, 04 Dec 2006 08:00:00 GMT");
}

TEST_F(FeedFormatsTest, MarksFollowAtomEntriesAcrossVersions) {
    auto atom = [](const std::string& updated, std::vector<int> entries) {
        std::string xml =
            "<feed xmlns=\"http://www.w3.org/2005/Atom\"><updated>" + updated + "</updated>";
        for (int n : entries)
            xml += "<entry><title>E" + std::to_string(n) +
                   "</title><link href=\"http://example.com/" + std::to_string(n) +
                   "\"/><id>urn:e" + std::to_string(n) + "</id></entry>";
        return xml + "</feed>";
    };
    ASSERT_EQ(Update(atom("v1", {1, 2, 3})), ChannelUpdater::kWritten);
    // The reader read entry 2, flagged entry 3 and deleted entry 1.
    WriteFileBytes(app / "data/rss5.flg", "F001   http://example.com/1\nF100   "
                                          "http://example.com/2\nF010   http://example.com/3\n");
    channel.SetCounts(1, 2);
    ASSERT_EQ(Update(atom("v2", {4, 1, 2, 3})), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F000   http://example.com/4\nF001   http://example.com/1\n"
                       "F100   http://example.com/2\nF010   http://example.com/3\n");
    EXPECT_EQ(PageFile(),
              Page(3, Item(1, "http://example.com/4", "E4", "", "", "") +
                          Item(3, "http://example.com/2", "E2", "", "", "", true) +
                          Item(4, "http://example.com/3", "E3", "", "", "", false, true)));
    EXPECT_EQ(channel.NodeText(), L"News(2/3)");
}

TEST_F(FeedFormatsTest, LinksDatesAndRefusals) {
    // A relative link without xml:base goes against the channel's address; entries
    // without a link or id are kept in order, without a date show none.
    const std::string feed = "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
                             "<entry><title>R</title><link href=\"../posts/r?a=1&amp;b=2\"/>"
                             "<published>2006-02-30T00:00:00Z</published></entry>"
                             "<entry><title>Bare</title></entry></feed>";
    ASSERT_EQ(Update(feed), ChannelUpdater::kWritten) << failure;
    EXPECT_EQ(State(), "F000   http://feeds.example/posts/r?a=1&b=2\nF000   \n");
    const std::string page = PageFile();
    // A date that is no calendar date shows as written.
    EXPECT_NE(page.find("<SPAN title=\"publish time\">2006-02-30T00:00:00Z</SPAN>"),
              std::string::npos);
    EXPECT_EQ(channel.GetLastBuildDate().rfind("fnv1a64:", 0), 0u);

    // Cut off in transfer: refused as incomplete, the files stay.
    const std::string cut = std::string(kAtomFeed).substr(0, 600);
    EXPECT_EQ(Update(cut), ChannelUpdater::kFailed);
    EXPECT_EQ(failure, "incomplete document");
    EXPECT_EQ(PageFile(), page);
    // Neither RSS nor Atom: refused as before.
    for (const char* other :
         {"<html><body>x</body></html>", "<feed xmlns=\"urn:not-atom\"><entry/></feed>",
          "<rss version=\"3.0\"><channel/></rss>"}) {
        EXPECT_EQ(Update(other), ChannelUpdater::kFailed) << other;
        EXPECT_EQ(failure, "not an RSS or Atom document") << other;
    }
    EXPECT_EQ(log.Count(L"Invalidate version of RSS for channel News"), 3u);
    EXPECT_EQ(PageFile(), page);
}
