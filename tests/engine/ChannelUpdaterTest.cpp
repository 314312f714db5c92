#include "engine/ChannelUpdater.h"
#include "FeedFixtures.h"
#include "LogCapture.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "catalogue/Channel.h"
#include "engine/FeedDocument.h"
#include "engine/ItemStateFile.h"
#include "engine/ItemText.h"
#include "platform/MessageQueue.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// One item of a channel page (group 2, channel 5), as the page format writes it.
std::string Item(int n, const std::string& link, const std::string& title,
                 const std::string& description, const std::string& author = "",
                 const std::string& date = "", bool read = false, bool flagged = false) {
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
// Item n showing NumberedItems' item i ("T<i>", "d<i>").
std::string Numbered(int n, int i, bool read = false, bool flagged = false) {
    const std::string s = std::to_string(i);
    return Item(n, "http://example.com/" + s, "T" + s, "d" + s, "", "", read, flagged);
}
// A channel page with its item total; a native one has no byte-order mark and a bare charset.
std::string Page(int total, const std::string& items, bool native = false) {
    return std::string(native ? "" : "\xEF\xBB\xBF") +
           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html;" +
           (native ? "" : "charset=utf-8") +
           "\"><link href=\"HtmlStyle\\H20.css\" rel=\"stylesheet\" "
           "type=\"text/css\"><script>var totalNum=" +
           std::to_string(total) +
           ";</script><script language=\"javascript\" src=\"./HtmlStyle/rss.js\"></script></head>"
           "<body><script>document.write(init_pagination());</script><DIV ID=\"contentdiv\">" +
           items + "</DIV><script>document.write(init_pagination());</script></body></html>";
}
class ChannelUpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "data");
        channel.SetId(5);
        channel.SetGroupId(2);
        channel.SetName(L"News");
        channel.SetFileStem(L"rss5");
        channel.SetUrl(L"http://feeds.example/dir/feed.xml");
    }
    // One complete update as a job runs it; the updater lets go of its files at the end.
    ChannelUpdater::Result Update(const std::string& xml) {
        ChannelUpdater updater(channel, app.WPath() + L"data", &frame);
        if (!updater.LoadState())
            return ChannelUpdater::kFailed;
        const ChannelUpdater::Result result = updater.Process(xml);
        failure = updater.FailureReason();
        return result;
    }
    std::string PageFile() { return ReadFileBytes(app / "data/rss5.html"); }
    std::string State() { return ReadFileBytes(app / "data/rss5.flg"); }
    void SetState(const std::string& s) { WriteFileBytes(app / "data/rss5.flg", s); }

    ScopedEnv zone{"TZ", "CST-8"};
    TempDir app;
    LogCapture log{app.Path()};
    CChannel channel;
    platform::MessageQueue frame;
    std::string failure;
};

const char kRss2[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>T</title>"
    "<lastBuildDate>Sun, 03 Dec 2006 10:00:00 GMT</lastBuildDate>\n"
    "<item><title>First</title><link>http://example.com/1</link><description>&lt;b&gt;Hi"
    "&lt;/b&gt; \xE4\xB8\xAD</description><author>ann</author><pubDate>Sun, 3 Dec 2006 "
    "10:00:00 GMT</pubDate></item>\n<item><title><![CDATA[A & B]]></title><link>\n"
    "  http://example.com/2\n</link><description>plain</description></item>\n"
    "</channel></rss>";

// Atom: each kind of title and content, links by rel and xml:base, the feed's author for
// an entry without one, published else updated, elements matched by namespace URI, and a
// reference to a character XML does not allow (U+FFFD).
const char kAtom[] =
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
    "  <a:summary>a &lt; b &#x4E2D;&#0;</a:summary>\n"
    " </a:entry>\n"
    "</a:feed>\n";

const char kRss10[] =
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

// gb2312: a native page (no byte-order mark, a bare charset) with the feed's bytes.
const char kGb2312[] =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel><pubDate>x</pubDate>"
    "<item><title>\xD6\xD0\xCE\xC4</title><link>http://cn/1</link><description>\xD0\xC2&amp;\xCE"
    "\xC5</description><author>\xCD\xF5</author></item></channel></rss>";

const char kRss091[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                       "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
                       "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n"
                       "<rss version=\"0.91\"><channel><title>Old</title>"
                       "<lastBuildDate>Mon, 04 Dec 2006 08:00:00 GMT</lastBuildDate>\n"
                       "<item><title>Caf\xE9</title><link>http://example.com/o1</link>"
                       "<description>Plain &amp;amp; simple</description></item>\n"
                       "</channel></rss>\n";

// JSON Feed 1.1: html, text and summary content, relative addresses, the first author with
// a name else the feed's, published else modified, an attachment, and members and items of
// the wrong type passed over.
const char kJson[] =
    R"({"version": "https://jsonfeed.org/version/1.1", "authors": [{"name": "Feed Author"}],
 "items": [
  {"id": "1", "url": "posts/1.html", "title": " A & B <x> ", "content_html": "<p>Hi <b>there</b></p>",
   "content_text": "not shown", "authors": [{"url": "http://ann/"}, {"name": "Ann"}, {"name": "Bo"}],
   "date_published": "2006-12-03T10:00:00Z",
   "attachments": [{"url": "a.mp3", "mime_type": "audio/mpeg", "size_in_bytes": 1536}, "x"]},
  {"id": "http://example.com/2", "url": 5, "title": "Text", "content_text": "a < b\nline \u4e2d",
   "date_modified": "2006-12-03T12:30:00+02:00"},
  42, [], null,
  {"id": "urn:3", "title": 7, "summary": "only a summary", "more": {"deep": [1, {"a": 2}]}}
 ]})";

// A JSON Feed document of the version ("1", "1.1") with the items, after a byte-order mark.
std::string JsonFeed(const std::string& version, const std::string& items) {
    return "\xEF\xBB\xBF\n {\"version\": \"https://jsonfeed.org/version/" + version +
           "\", \"items\": [" + items + "]}";
}

} // namespace

TEST_F(ChannelUpdaterTest, FirstUpdatesWriteTheGoldenPageAndStateFileOfEachFormat) {
    struct Golden {
        const char* xml;
        std::string page;
        std::string state;
        std::string buildDate;
        std::wstring node;
    };
    const Golden goldens[] = {
        {kRss2,
         Page(2, Item(1, "http://example.com/1", "First", "<b>Hi</b> \xE4\xB8\xAD", "ann",
                      "2006-12-03 18:00:00") +
                     Item(2, "http://example.com/2", "A & B", "plain")),
         "F000   http://example.com/1\nF000   http://example.com/2\n",
         "Sun, 03 Dec 2006 10:00:00 GMT", L"News(2/2)"},
        {kAtom,
         Page(3, Item(1, "http://example.com/1", "A &amp; B &lt;x&gt;", "<p>Hi <b>there</b></p>",
                      "Ann", "2006-12-03 18:00:00") +
                     Item(2, "http://base.example/blog/archive/2.html", "<b>Bold</b>",
                          "<p>X<br/>Y</p>", "Feed Author", "2006-12-03 18:30:00") +
                     Item(3, "urn:uuid:3", "T<i>3</i>", "a &lt; b \xE4\xB8\xAD\xEF\xBF\xBD",
                          "Feed Author")),
         "F000   http://example.com/1\nF000   http://base.example/blog/archive/2.html\n"
         "F000   urn:uuid:3\n",
         "2006-12-04T00:00:00Z", L"News(3/3)"},
        {kRss10,
         Page(2, Item(1, "http://example.com/r1", "A &amp; B", "<p>One</p>", "Bo",
                      "2006-12-03 10:00:00") +
                     Item(2, "http://example.com/r2", "Two", "")),
         "F000   http://example.com/r1\nF000   http://example.com/r2\n",
         "2006-12-04T08:00:00+08:00", L"News(2/2)"},
        {kRss091, Page(1, Item(1, "http://example.com/o1", "Caf\xC3\xA9", "Plain &amp; simple")),
         "F000   http://example.com/o1\n", "Mon, 04 Dec 2006 08:00:00 GMT", L"News(1/1)"},
        {kJson,
         Page(3, Item(1, "http://feeds.example/dir/posts/1.html", "A &amp; B &lt;x&gt;",
                      "<p>Hi <b>there</b></p><p><a href=\"http://feeds.example/dir/a.mp3\">"
                      "audio/mpeg, 1.5 KB</a></p>",
                      "Ann", "2006-12-03 18:00:00") +
                     Item(2, "http://example.com/2", "Text", "a &lt; b\nline \xE4\xB8\xAD",
                          "Feed Author", "2006-12-03 18:30:00") +
                     Item(3, "urn:3", "", "only a summary", "Feed Author")),
         "F000   http://feeds.example/dir/posts/1.html\nF000   http://example.com/2\n"
         "F000   urn:3\n",
         "fnv1a64:6dcd45cd9ce647ff", L"News(3/3)"},
        {kGb2312,
         Page(1, Item(1, "http://cn/1", "\xD6\xD0\xCE\xC4", "\xD0\xC2&\xCE\xC5", "\xCD\xF5"), true),
         "F000   http://cn/1\n", "x", L"News(1/1)"}};
    for (const Golden& g : goldens) {
        channel.SetLastBuildDate(""); // a first update: nothing remembered
        ASSERT_EQ(Update(g.xml), ChannelUpdater::kWritten) << failure;
        EXPECT_EQ(PageFile(), g.page);
        EXPECT_EQ(State(), g.state);
        EXPECT_EQ(channel.GetLastBuildDate(), g.buildDate);
        EXPECT_EQ(channel.NodeText(), g.node);
        EXPECT_EQ(channel.GetLastUpdated().size(), 19u);
        // The same document again: unchanged by its date, nothing written.
        EXPECT_EQ(Update(g.xml), ChannelUpdater::kUnchanged);
    }
}

TEST_F(ChannelUpdaterTest, Latin1Documents) {
    // ISO-8859-1: the texts converted to UTF-8, the link kept raw.
    ASSERT_EQ(Update(FeedXml({{"caf\xE9 cr\xE8me", "http://x/\xE9", "na\xEFve", "Jos\xE9", ""}},
                             "d1", "ISO-8859-1")),
              ChannelUpdater::kWritten);
    const std::string page = PageFile();
    for (const char* part : {"title_unread'>caf\xC3\xA9 cr\xC3\xA8me</font>", "<p>na\xC3\xAFve</p>",
                             "\">Jos\xC3\xA9<SPAN"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    EXPECT_EQ(State(), "F000   http://x/\xE9\n");
}

TEST_F(ChannelUpdaterTest, NewItemsFirstThenRememberedOnesWithTheirMarksUnderTheLimit) {
    auto items = [](std::vector<int> numbers) {
        std::vector<FeedItem> out;
        for (int i : numbers)
            out.push_back(NumberedItems(i, i)[0]);
        return out;
    };
    channel.SetMaxItems(5);
    // Six items: the first five in document order.
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 6), "v1")), ChannelUpdater::kWritten) << failure;
    EXPECT_EQ(PageFile(), Page(5, Numbered(1, 1) + Numbered(2, 2) + Numbered(3, 3) +
                                      Numbered(4, 4) + Numbered(5, 5)));
    EXPECT_EQ(channel.NodeText(), L"News(5/5)");
    // The reader deleted item 1, read 2 and 5, flagged 3.
    SetState("F001   http://example.com/1\nF100   http://example.com/2\n"
             "F010   http://example.com/3\nF000   http://example.com/4\n"
             "F100   http://example.com/5\n");
    // A known item keeps the texts its page showed, whatever the document says now.
    std::vector<FeedItem> second = items({6, 1, 2, 3});
    second[2].title = "changed title is not used";
    ASSERT_EQ(Update(FeedXml(second, "v2")), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F000   http://example.com/6\nF001   http://example.com/1\n"
                       "F100   http://example.com/2\nF010   http://example.com/3\n"
                       "F000   http://example.com/4\nF100   http://example.com/5\n");
    // Page numbers are state line numbers: the deleted line 2 leaves a gap.
    EXPECT_EQ(PageFile(),
              Page(5, Numbered(1, 6) + Numbered(3, 2, true) + Numbered(4, 3, false, true) +
                          Numbered(5, 4) + Numbered(6, 5, true)));
    EXPECT_EQ(channel.NodeText(), L"News(3/5)");
    EXPECT_EQ(channel.GetLastBuildDate(), "v1"); // the first build date is kept
    // Three new items: the remembered ones that still fit stay, a deleted one (not
    // counted) keeps its line, the others are forgotten.
    ASSERT_EQ(Update(FeedXml(items({7, 8, 9}), "v3")), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F000   http://example.com/7\nF000   http://example.com/8\n"
                       "F000   http://example.com/9\nF000   http://example.com/6\n"
                       "F001   http://example.com/1\nF100   http://example.com/2\n");
    EXPECT_EQ(PageFile(), Page(5, Numbered(1, 7) + Numbered(2, 8) + Numbered(3, 9) +
                                      Numbered(4, 6) + Numbered(6, 2, true)));
    EXPECT_EQ(channel.NodeText(), L"News(4/5)");
}

TEST_F(ChannelUpdaterTest, EmptyDocumentShortStateLinesAndUnchangedDocuments) {
    ASSERT_EQ(Update(FeedXml({}, "empty")), ChannelUpdater::kWritten);
    EXPECT_EQ(PageFile(), Page(0, ""));
    EXPECT_EQ(State(), "");
    EXPECT_EQ(channel.NodeText(), L"News(0/0)");
    // A short line keeps its place (line 2 stays item 2's number) and matches nothing.
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 3), "full")), ChannelUpdater::kWritten);
    SetState("F100   http://example.com/1\nF1\nF100   http://example.com/3\n");
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 1), "again")), ChannelUpdater::kWritten);
    EXPECT_EQ(State(), "F100   http://example.com/1\nF100   http://example.com/3\n");
    const std::string page = PageFile();
    EXPECT_NE(page.find("name=2_title><font class='title_unread'>T3</font>"), std::string::npos);
    // Seven bytes (an empty link) make a usable line, six do not.
    const auto records = ItemStateFile::Parse("F100   \nF100  \n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].usable && records[0].readMark == '1' && records[0].link.empty());
    EXPECT_FALSE(records[1].usable);
    // The stored (first) build date again: nothing written, the counts stay.
    SetState("F000   http://example.com/1\nF000   http://example.com/3\n");
    channel.SetCounts(1, 2);
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 2), "empty")), ChannelUpdater::kUnchanged);
    EXPECT_EQ(PageFile(), page);
    EXPECT_EQ(State(), "F000   http://example.com/1\nF000   http://example.com/3\n");
    EXPECT_EQ(channel.NodeText(), L"News(1/2)");
}

TEST_F(ChannelUpdaterTest, RefusedDocumentsLeaveThePreviousFilesAlone) {
    // A refused first document stores no build date: the complete one would be unchanged.
    EXPECT_EQ(Update("<rss version=\"1.0\">"), ChannelUpdater::kFailed);
    const std::string full = FeedXml(NumberedItems(1, 3), "kept");
    EXPECT_EQ(Update(full.substr(0, full.find("<item><title>T3") + 20)), ChannelUpdater::kFailed);
    EXPECT_EQ(failure, "incomplete document");
    EXPECT_EQ(channel.GetLastBuildDate(), "");
    ASSERT_EQ(Update(full), ChannelUpdater::kWritten);
    EXPECT_EQ(channel.GetTotalCount(), 3u);
    const std::string page = PageFile(), state = State();
    frame.Drain();
    const std::string notAFeed = "not an RSS or Atom document",
                      notJson = "not a JSON Feed document";
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"<rss version=\"1.0\"><channel><item><link>z</link></item></channel></rss>", notAFeed},
        {"<rss><channel></channel></rss>", notAFeed},
        {"not xml at all", notAFeed},
        {"<html><body>x</body></html>", notAFeed},
        {"<feed xmlns=\"urn:not-atom\"><entry/></feed>", notAFeed},
        {"<rss version=\"3.0\"><channel/></rss>", notAFeed},
        {std::string(kAtom).substr(0, 600), "incomplete document"},
        {R"({"version": "https://jsonfeed.org/version/2", "items": []})", notJson},
        {R"({"version": "https://jsonfeed.org/version/1.1", "items": {}})", notJson},
        {R"({"items": [1, 2}    )", notJson},
        {"{\"items\": " + std::string(100000, '['), notJson}, // too deep before its end
        {std::string(kJson).substr(0, 300), "incomplete document"}};
    for (const auto& [document, reason] : refused) {
        EXPECT_EQ(Update(document), ChannelUpdater::kFailed) << document;
        EXPECT_EQ(failure, reason) << document;
        EXPECT_EQ(PageFile(), page);
        EXPECT_EQ(State(), state);
    }
    EXPECT_EQ(channel.GetLastBuildDate(), "kept");
    EXPECT_EQ(log.Count(L"Invalidate version of RSS for channel News"), 10u);
    EXPECT_EQ(log.Count(L"The document of channel News is incomplete"), 4u);
    EXPECT_EQ(log.Count(L"The JSON document is nested deeper than 64 levels"), 1u);
    const auto posted = frame.Drain();
    ASSERT_EQ(posted.size(), refused.size());
    for (const auto& m : posted)
        EXPECT_TRUE(m.message == 11904u && m.wParam == 11726u) << m.message << " " << m.wParam;
}

// (A data folder that cannot hold the state file: UpdateJobTest.FailuresEndWithFinishedZero.)
TEST_F(ChannelUpdaterTest, AHeldStateFileAndStrayItemEnds) {
    // Held by another update: refused.
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 1), "a")), ChannelUpdater::kWritten);
    {
        ChannelUpdater holder(channel, app.WPath() + L"data", nullptr);
        ASSERT_TRUE(holder.LoadState());
        ChannelUpdater second(channel, app.WPath() + L"data", nullptr);
        EXPECT_FALSE(second.LoadState());
        EXPECT_TRUE(log.Contains(L"Failed open flgfile!"));
    }
    // Megabytes of item ends before the only item start are read in linear time.
    EXPECT_EQ(Update("<rss version=\"2.0\"><channel>" + Repeat("</item>", 600000) +
                     "<item><link>http://z/</link>" + "</item></channel></rss>"),
              ChannelUpdater::kWritten);
}

TEST_F(ChannelUpdaterTest, AtomLinksAndDates) {
    // A relative link without xml:base goes against the channel's address; entries
    // without a link or id are kept in order, without a date show none.
    const std::string feed = "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
                             "<entry><title>R</title><link href=\"../posts/r?a=1&amp;b=2\"/>"
                             "<published>2006-02-30T00:00:00Z</published></entry>"
                             "<entry><title>Bare</title></entry></feed>";
    ASSERT_EQ(Update(feed), ChannelUpdater::kWritten) << failure;
    EXPECT_EQ(State(), "F000   http://feeds.example/posts/r?a=1&b=2\nF000   \n");
    // A date that is no calendar date shows as written.
    EXPECT_NE(PageFile().find("<SPAN title=\"publish time\">2006-02-30T00:00:00Z</SPAN>"),
              std::string::npos);
    EXPECT_EQ(channel.GetLastBuildDate().rfind("fnv1a64:", 0), 0u);
}

TEST_F(ChannelUpdaterTest, AtomPastMarkupInItsPrologAndWithoutItsNamespace) {
    // Comments holding markup, a processing instruction and a document type with an
    // internal subset before the root are passed over; a root <feed> without the Atom
    // namespace but with Atom's children is read as Atom.
    const std::string entries = "<title>F</title><entry><title>One</title>"
                                "<link href=\"http://a/1\"/></entry></feed>";
    for (const std::string& document :
         {"<?xml version=\"1.0\"?>\n<!-- may contain <a></a> -->\n<?style x?>"
          "<!DOCTYPE feed [<!ENTITY x \"<b>\">]><feed xmlns=\"http://www.w3.org/2005/Atom\">" +
              entries,
          "<!-- <rss version=\"2.0\"> --><feed>" + entries}) {
        ASSERT_EQ(Update(document), ChannelUpdater::kWritten) << failure << document;
        EXPECT_EQ(State(), "F000   http://a/1\n");
    }
    EXPECT_EQ(Update("<feed><item><title>x</title></item></feed>"), ChannelUpdater::kFailed);
    EXPECT_EQ(failure, "not an RSS or Atom document");
}

TEST_F(ChannelUpdaterTest, EnclosuresShowUnderTheItemsTextAsWebLinksWithTypeAndSize) {
    const char* kMp3 = "<p><a href=\"http://a/e.mp3?x=1&amp;y=2\">audio/mpeg, 24.3 MB</a></p>";
    // RSS 2.0: an enclosure, the same file again as media:content, a script address and a
    // second file without a size; Atom: an enclosure link resolved against the entry.
    const std::string rss =
        "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\"><channel>"
        "<item><title>E</title><link>http://a/1</link><description>text</description>"
        "<enclosure url=\"http://a/e.mp3?x=1&amp;y=2\" length=\"25480396\" type=\"audio/mpeg\"/>"
        "<media:content url=\"http://a/e.mp3?x=1&amp;y=2\" fileSize=\"1\"/>"
        "<enclosure url=\"javascript:alert(1)\" type=\"x\"/>"
        "<media:content url='http://a/v.mp4' type='video/mp4'/></item></channel></rss>";
    ASSERT_EQ(Update(rss), ChannelUpdater::kWritten) << failure;
    EXPECT_NE(PageFile().find(std::string("text") + kMp3 +
                              "<p><a href=\"http://a/v.mp4\">video/mp4</a></p></p></DIV>"),
              std::string::npos);
    EXPECT_EQ(PageFile().find("javascript:alert"), std::string::npos);
    const std::string atom = "<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>A</title>"
                             "<link href=\"http://b/1\"/><link rel=\"enclosure\" href=\"f.ogg\" "
                             "length=\"812\"/><content>c</content></entry></feed>";
    ASSERT_EQ(Update(atom), ChannelUpdater::kWritten) << failure;
    EXPECT_NE(PageFile().find("c<p><a href=\"http://feeds.example/dir/f.ogg\">812 bytes</a></p>"),
              std::string::npos);
    for (const auto& [bytes, shown] :
         std::vector<std::pair<std::string, std::string>>{{"0", "0 bytes"},
                                                          {"1023", "1023 bytes"},
                                                          {"1536", "1.5 KB"},
                                                          {"1073741824", "1.0 GB"},
                                                          {"-5", ""},
                                                          {"12 MB", ""},
                                                          {"", ""}})
        EXPECT_EQ(ItemText::ShownSize(bytes), shown) << bytes;
}

TEST_F(ChannelUpdaterTest, SiteAndIconAddressesOfEachFormat) {
    // channel address: http://feeds.example/dir/feed.xml
    struct Case {
        const char* name;
        std::string xml;
        const char* site;
        const char* icon;
    };
    const std::string rssHead = "<rss version=\"2.0\"><channel><title>T</title>";
    const std::string rssItem = "<item><link>http://example.com/1</link><image><url>/item.png"
                                "</url></image></item></channel></rss>";
    const std::string atom = "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"/base/\">";
    const std::string rdf = "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                            "xmlns=\"http://purl.org/rss/1.0/\">";
    const Case cases[] = {
        {"rss2: head only; image link and textInput link are not the site's",
         rssHead +
             "<image><link>http://img.example/</link><url><![CDATA[i.png?a=1&b=2]]></url>"
             "</image><textInput><link>http://search.example/</link></textInput>"
             "<link>http://site.example/?a=1&amp;b=2</link>" +
             rssItem,
         "http://site.example/?a=1&b=2", "http://feeds.example/dir/i.png?a=1&b=2"},
        {"rss2: nothing in the head, an item's link and image ignored", rssHead + rssItem, "", ""},
        {"rss2: not web addresses",
         rssHead +
             "<link>javascript:alert(1)</link><image><url>"
             "file:///etc/passwd</url></image>" +
             rssItem,
         "", ""},
        {"atom: icon before logo, alternate link, xml:base",
         atom + "<link rel=\"self\" href=\"/self\"/><logo>logo.png</logo><icon>icon.ico</icon>"
                "<link rel=\"alternate\" href=\"home/\"/><title>T</title></feed>",
         "http://feeds.example/base/home/", "http://feeds.example/base/icon.ico"},
        {"atom: logo alone, a link without rel",
         atom + "<logo>https://cdn.example/l.png</logo><link href=\"http://a.example/\"/></feed>",
         "http://a.example/", "https://cdn.example/l.png"},
        {"rss 1.0: the image beside the channel",
         rdf + "<channel rdf:about=\"x\"><link>http://r1.example/</link><image rdf:resource="
               "\"http://r1.example/i.gif\"/></channel><image rdf:about=\"y\"><url>"
               "http://r1.example/i.gif</url><link>http://other.example/</link></image></rdf:RDF>",
         "http://r1.example/", "http://r1.example/i.gif"},
        {"rss 0.91: the image in the channel",
         "<rss version=\"0.91\"><channel><title>T</title><link>http://r09.example/</link><image>"
         "<url>/logo.jpg</url></image></channel></rss>",
         "http://r09.example/", "http://feeds.example/logo.jpg"},
        {"json feed: home page and favicon before icon",
         R"({"version": "https://jsonfeed.org/version/1.1", "home_page_url": "http://j.example/",)"
         R"( "icon": "http://j.example/big.png", "favicon": "/fav.ico", "items": []})",
         "http://j.example/", "http://feeds.example/fav.ico"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((app / "data/rss5.flg").c_str());
        channel.SetLastBuildDate("");
        ChannelUpdater updater(channel, app.WPath() + L"data", &frame);
        ASSERT_TRUE(updater.LoadState());
        ASSERT_NE(updater.Process(c.xml), ChannelUpdater::kFailed);
        EXPECT_EQ(updater.SiteAddress(), c.site);
        EXPECT_EQ(updater.IconAddress(), c.icon);
    }
}

TEST_F(ChannelUpdaterTest, JsonFeedMarksSurviveTheNextVersion) {
    // Version 1 names its author in an object.
    const std::string one =
        R"({"id": "1", "url": "http://j/1", "title": "One", "author": {"name": "Old"}})";
    const std::string two = R"({"id": "2", "url": "http://j/2", "title": "Two"})";
    ASSERT_EQ(Update(JsonFeed("1", one + "," + two)), ChannelUpdater::kWritten) << failure;
    EXPECT_NE(PageFile().find(Item(1, "http://j/1", "One", "", "Old")), std::string::npos);
    SetState("F100   http://j/1\nF010   http://j/2\n");
    ASSERT_EQ(Update(JsonFeed("1.1", R"({"id": "3", "url": "http://j/3"},)" + one + "," + two)),
              ChannelUpdater::kWritten)
        << failure;
    EXPECT_EQ(State(), "F000   http://j/3\nF100   http://j/1\nF010   http://j/2\n");
    EXPECT_EQ(PageFile(), Page(3, Item(1, "http://j/3", "", "") +
                                      Item(2, "http://j/1", "One", "", "Old", "", true) +
                                      Item(3, "http://j/2", "Two", "", "", "", false, true)));
    EXPECT_EQ(channel.NodeText(), L"News(2/3)");
}

TEST_F(ChannelUpdaterTest, JsonAndAtomItemsAreReadUpToTheLimitAndTheDeletedOnesBeyondIt) {
    using Feed = std::string (*)(int, int);
    const Feed json = [](int from, int to) {
        std::string out;
        for (int i = from; i <= to; ++i)
            out += (i > from ? ",{\"url\": \"http://j/" : "{\"url\": \"http://j/") +
                   std::to_string(i) + "\"}";
        return JsonFeed("1.1", out);
    };
    const Feed atom = [](int from, int to) {
        std::string out = "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>T</title>";
        for (int i = from; i <= to; ++i)
            out += "<entry><link href=\"http://j/" + std::to_string(i) + "\"/></entry>";
        return out + "</feed>";
    };
    for (Feed feed : {json, atom}) {
        std::remove((app / "data/rss5.flg").c_str());
        channel.SetLastBuildDate("");
        channel.SetMaxItems(2);
        ASSERT_EQ(Update(feed(1, 2)), ChannelUpdater::kWritten) << failure;
        SetState("F001   http://j/1\nF001   http://j/2\n");
        ASSERT_EQ(Update(feed(1, 5)), ChannelUpdater::kWritten) << failure;
        EXPECT_EQ(State(),
                  "F001   http://j/1\nF001   http://j/2\nF000   http://j/3\nF000   http://j/4\n");
        EXPECT_EQ(channel.NodeText(), L"News(2/2)");
    }
    // What the merge cannot take is not read at all.
    FeedDocument capped;
    ASSERT_EQ(capped.Read(atom(1, 5), "http://j/", 3), FeedDocument::Status::kRead);
    EXPECT_EQ(capped.Items().size(), 3u);
}

TEST_F(ChannelUpdaterTest, AnUpdateKilledAtAnyMomentLeavesTheOldOrTheNewFilesWhole) {
    // Files written as temporary files and renamed: a process killed anywhere in an update
    // leaves each of the page and the state file as it was or as the update wrote it.
    channel.SetMaxItems(2000);
    ASSERT_EQ(Update(FeedXml(NumberedItems(1, 1000), "v1")), ChannelUpdater::kWritten);
    const std::string oldPage = PageFile(), oldState = State();
    const std::string second = FeedXml(NumberedItems(501, 2000), "v2");
    auto restore = [&] {
        WriteFileBytes(app / "data/rss5.html", oldPage);
        SetState(oldState);
        channel.SetLastBuildDate("v1");
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Update(second), ChannelUpdater::kWritten);
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string newPage = PageFile(), newState = State();
    ASSERT_NE(newState, oldState);
    int oldSeen = 0, newSeen = 0;
    for (int round = 0; round <= 24; ++round) {
        restore();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            _exit(Update(second) == ChannelUpdater::kWritten ? 0 : 1);
        // From the start to past the end of an update, in steps; the last one is not killed.
        std::this_thread::sleep_for(took * round / 20);
        if (round < 24)
            kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const std::string state = State(), page = PageFile();
        ASSERT_TRUE(state == oldState || state == newState) << "round " << round;
        ASSERT_TRUE(page == oldPage || page == newPage) << "round " << round;
        (state == oldState ? oldSeen : newSeen)++;
    }
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(newSeen, 0);
}
