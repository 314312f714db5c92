#include "engine/FeedDiscovery.h"
#include "FeedFixtures.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "config/Config.h"
#include "engine/FeedFinder.h"
#include "engine/MarkupDepth.h"

#include <httplib.h>

#include <chrono>
#include <gtest/gtest.h>

namespace {

const char kPage[] = "http://site.test/blog/post.html";

std::string Head(const std::string& links) {
    return "<!DOCTYPE html><html><head><title>t</title>" + links + "</head><body>x</body></html>";
}

// "title|url|type" per feed, one line each.
std::string Shown(const std::vector<DiscoveredFeed>& feeds) {
    std::string out;
    for (const DiscoveredFeed& f : feeds)
        out += f.title + "|" + f.url + "|" + f.type + "\n";
    return out;
}

} // namespace

TEST(FeedDiscovery, ReadsTheFeedLinksOfAPage) {
    const struct {
        std::string page, expected;
    } cases[] = {
        {Head("<link rel=alternate type=application/rss+xml title=News href=/feed.xml>"),
         "News|http://site.test/feed.xml|application/rss+xml\n"},
        // Several, in document order, relative to the page; each type of feed.
        {Head("<link rel='alternate' type='application/atom+xml' href='atom'>"
              "<link rel='alternate' type='application/rdf+xml' href='../rdf'>"
              "<link rel='alternate' type='application/feed+json' href='j.json'>"
              "<link rel='alternate' type='application/json' href='//cdn.test/x'>"
              "<link rel='alternate' type='application/feed+json' href='//cdn.test/y'>"),
         "|http://site.test/blog/atom|application/atom+xml\n"
         "|http://site.test/rdf|application/rdf+xml\n"
         "|http://site.test/blog/j.json|application/feed+json\n"
         "|http://cdn.test/y|application/feed+json\n"},
        // The first base with an address counts, itself relative to the page, wherever it
        // stands.
        {Head("<link rel=alternate type=application/rss+xml href=f><base target=x>"
              "<base href='/other/'><base href='http://ignored.test/'>"),
         "|http://site.test/other/f|application/rss+xml\n"},
        // rel is a list of tokens in any case; type in any case, parameters left out.
        {Head("<link rel=' Feed\tALTERNATE ' type='Application/RSS+XML; charset=utf-8' "
              "href=a><link rel=alternates type=application/rss+xml href=b>"
              "<link rel='alternate stylesheet' type=text/css href=c>"
              "<link rel=alternate href=d><link type=application/rss+xml href=e>"),
         "|http://site.test/blog/a|application/rss+xml\n"},
        // Only web addresses, each once; titles are plain text on one line.
        {Head("<link rel=alternate type=application/rss+xml href='javascript:alert(1)'>"
              "<link rel=alternate type=application/rss+xml href='ftp://x.test/f'>"
              "<link rel=alternate type=application/rss+xml href='data:,x'>"
              "<link rel=alternate type=application/rss+xml href='/" +
              std::string(FeedDiscovery::kMaxAddress, 'x') +
              "'>"
              "<link rel=alternate type=application/rss+xml href=' http://a.test/f\n' "
              "title='&lt;b&gt;One&#10;two&#9;three&#7;\xE2\x80\xAE"
              "4pm.\xE2\x81\xA6"
              "x&#x200F;'>"
              "<link rel=alternate type=application/atom+xml href='http://a.test/f' title=dup>"),
         "<b>One two three  4pm. x|http://a.test/f|application/rss+xml\n"},
        {Head("<link rel=stylesheet href=s.css>") + "<a rel=alternate "
                                                    "type=application/rss+xml href=f>f</a>",
         ""},
        {"", ""},
        // A page in the encoding its meta element declares.
        {"<html><head><meta http-equiv=Content-Type content='text/html; charset=GB2312'>"
         "<link rel=alternate type=application/rss+xml href=f title='\xD6\xD0\xCE\xC4'>",
         "\xE4\xB8\xAD\xE6\x96\x87|http://site.test/blog/f|application/rss+xml\n"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(Shown(FeedDiscovery::Find(test.page, kPage)), test.expected) << test.page;
    // Without a meta element, in the charset of the response's Content-Type.
    const std::string gb = "<link rel=alternate type=application/rss+xml href=f title='\xD6\xD0'>";
    EXPECT_EQ(FeedDiscovery::Find(gb, kPage, "text/html; Charset=\"GBK\"")[0].title,
              "\xE4\xB8\xAD");
    EXPECT_EQ(
        FeedDiscovery::Find("<meta charset=utf-8>" + gb, kPage, "text/html; charset=gbk")[0].title,
        "\xEF\xBF\xBD\xEF\xBF\xBD"); // the meta element counts first
    // A long title is cut at a character's end.
    std::string title;
    for (int i = 0; i < 300; ++i)
        title += "\xE4\xB8\xAD";
    const auto feeds = FeedDiscovery::Find(
        Head("<link rel=alternate type=application/rss+xml href=f title=" + title + ">"), kPage);
    ASSERT_EQ(feeds.size(), 1u);
    EXPECT_EQ(feeds[0].title, title.substr(0, 3 * FeedDiscovery::kMaxTitle));
}

TEST(FeedDiscovery, HostilePagesGiveBoundedResultsInTime) {
    const auto start = std::chrono::steady_clock::now();
    const std::string link = "<link rel=alternate type=application/rss+xml href=f";
    // 100000 feed links: the first kMaxFeeds distinct ones.
    std::string many = "<html><head>";
    for (int i = 0; i < 100000; ++i)
        many += link + std::to_string(i) + ">";
    const auto feeds = FeedDiscovery::Find(many, kPage);
    ASSERT_EQ(feeds.size(), FeedDiscovery::kMaxFeeds);
    EXPECT_EQ(feeds.back().url, "http://site.test/blog/f99");
    // Nested 200000 deep: the parse ends where the depth is past reason.
    const std::string deep = link + "1>" + Repeat("<div>", 200000) + link + "2>";
    const auto depthCut = [](const std::string& page) {
        return MarkupDepth::Cut(page, FeedDiscovery::kMaxPageBytes, FeedDiscovery::kMaxDepth,
                                FeedDiscovery::kMaxTags);
    };
    EXPECT_EQ(depthCut(deep), deep.find("<div>") + 5 * FeedDiscovery::kMaxDepth);
    EXPECT_EQ(Shown(FeedDiscovery::Find(deep, kPage)),
              "|http://site.test/blog/f1|application/rss+xml\n");
    // Only the head is parsed: not the body, where the parser rebuilds formatting elements
    // left open in every paragraph, nor links in the body.
    const std::string rebuilt = link + "1><div>" + Repeat("<b id=1>", 250) + "</div>" +
                                Repeat("<p>x</p>", 49000) + link + "2>";
    EXPECT_EQ(FeedDiscovery::ParsedLength(rebuilt), rebuilt.find("<div>"));
    EXPECT_EQ(Shown(FeedDiscovery::Find(rebuilt, kPage)),
              "|http://site.test/blog/f1|application/rss+xml\n");
    // End tags that the parser ignores, or does not see as such, close nothing; ones that it
    // heeds do.
    const struct {
        std::string unit;
        bool cut;
    } nestings[] = {
        {"<div></x>", true},
        {"<div><table><td></div></td></table>", true},
        {"<span><div></span>", true},
        {"<b><div></b>", true},
        {"<div><!--</div>-->", true},
        {"<div title='</div>' x=\"</div>\">", true},
        {"<div><script>'</div>'</script>", true},
        {"<div><script><!--<script></script></div>--></script>", true},
        {"<ul><li>a<li><p>b</UL><div class=x><br></div ><!----></a>", false},
    };
    for (const auto& test : nestings) {
        const std::string page = Repeat(test.unit, 50000 / test.unit.size());
        EXPECT_EQ(depthCut(page) < page.size(), test.cut) << test.unit;
    }
    // The page beyond its size limit is not read.
    const std::string large = std::string(FeedDiscovery::kMaxPageBytes, ' ') + link + "3>";
    EXPECT_EQ(FeedDiscovery::ParsedLength(large), FeedDiscovery::kMaxPageBytes);
    EXPECT_TRUE(FeedDiscovery::Find(large, kPage).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(FeedFinder, DownloadsAndDecides) {
    TempDir app;
    UseAppDirectory(app);
    MakeFolders(app / "rss/RssUserCfg");
    settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
    TestHttpServer server;
    server.Serve("/page",
                 Head("<link rel=alternate type=application/rss+xml href=/rss title=R>"
                      "<link rel=alternate type=application/atom+xml href=/atom>"),
                 "text/html");
    server.Serve("/rss", FeedXml(NumberedItems(1, 1)));
    server.Serve("/atom", "<feed xmlns='http://www.w3.org/2005/Atom'><title>a</title></feed>");
    server.Serve("/json", "\xEF\xBB\xBF \n{\"version\": \"https://jsonfeed.org/version/1.1\"}",
                 "application/feed+json");
    server.Serve("/none", Head("<link rel=icon href=i.png>"), "text/html");
    // A page reached through a redirect: its links are relative to where it is.
    server.Serve("/blog/",
                 Head("<link rel=alternate type=application/rss+xml href=feed.xml "
                      "title='\xD6\xD0'>"),
                 "text/html; charset=gb2312");
    server.Get("/moved", [&server](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(server.Url("/blog/"), 302);
    });
    server.Serve("/huge", Head("") + std::string(20u << 20, ' '), "text/html");
    server.Start();
    using O = FeedFinder::Outcome;
    const struct {
        std::string path;
        O outcome;
        std::string feeds = std::string(), failure = std::string();
    } cases[] = {
        {"/page", O::kFeeds,
         "R|" + server.Url("/rss") + "|application/rss+xml\n|" + server.Url("/atom") +
             "|application/atom+xml\n"},
        {"/moved", O::kFeeds,
         "\xE4\xB8\xAD|" + server.Url("/blog/feed.xml") + "|application/rss+xml\n"},
        {"/rss", O::kFeed},
        {"/atom", O::kFeed},
        {"/json", O::kFeed},
        {"/none", O::kNoFeed},
        {"/missing", O::kFailed, "", "HTTP 404"},
        {"/huge", O::kFailed, "", "document too large"},
    };
    for (const auto& test : cases) {
        const FeedFinder::Result r = FeedFinder().Find(server.Url(test.path));
        EXPECT_EQ(r.outcome, test.outcome) << test.path;
        EXPECT_EQ(Shown(r.feeds), test.feeds) << test.path;
        EXPECT_EQ(r.failure, test.failure) << test.path;
    }
    EXPECT_EQ(FeedFinder().Find("https://127.0.0.1:1/x").failure, "address not http");
    settingsPath.clear();
}
