#include "engine/IconFetcher.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "catalogue/IconCache.h"
#include "engine/IconFormat.h"
#include "engine/IconQueue.h"
#include "engine/Messages.h"
#include "engine/PageHead.h"
#include "platform/MessageQueue.h"

#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <map>
#include <utime.h>

namespace {

// The headers of images as the checks read them: a PNG's signature and IHDR chunk, an ICO's
// directory with one 16x16 bitmap frame.
std::string Png(uint32_t w, uint32_t h, char tag = 'A') {
    std::string b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (uint32_t v : {w, h})
        for (int shift : {24, 16, 8, 0})
            b.push_back(static_cast<char>(v >> shift));
    return b + std::string("\x08\x06\0\0\0", 5) + "crc" + tag;
}
std::string Ico() {
    std::string b("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x30\0\0\0\x16\0\0\0", 22);
    return b + std::string("\x28\0\0\0\x10\0\0\0\x20\0\0\0", 12) + std::string(36, '\0');
}

class IconFetcherTest : public ::testing::Test {
protected:
    void SetUp() override { UseAppDirectory(app); }
    TempDir app;
};

} // namespace

TEST_F(IconFetcherTest, SourcesInOrderAndRefusedFiles) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> served; // path -> body (text/html for pages)
        const char* site;                          // path of the site page, or ""
        const char* icon;                          // path of the feed's icon, or ""
        std::string expected;                      // the icon found; empty: none
    };
    const std::string a = Png(16, 16, 'a'), b = Png(32, 32, 'b'), c = Png(64, 64, 'c');
    const std::string page = "<html><head><base href=\"/assets/\"><link rel=\"apple-touch-icon\" "
                             "href=\"/touch.png\"><link rel=\"Shortcut Icon\" href=\"fav.png\">";
    // Only the head is read: past a script's and a comment's tags, never into the body.
    std::string deep = "<title><body></title><script>'<div>'</script><!-- <p> -->"
                       "<link rel=icon title='<a>' href=/i.png></head><body>";
    for (int i = 0; i < 200000; ++i)
        deep += "<div>";
    const Case cases[] = {
        {"the feed's icon first",
         {{"/i.png", a}, {"/site/", page}, {"/assets/fav.png", b}},
         "/site/",
         "/i.png",
         a},
        {"the page's icon link against its base",
         {{"/site/", page}, {"/assets/fav.png", b}},
         "/site/",
         "/missing.png",
         b},
        {"then its touch icon",
         {{"/site/", page}, {"/assets/fav.png", "<svg/>"}, {"/touch.png", c}},
         "/site/",
         "",
         c},
        {"then the site's favicon",
         {{"/site/", "<p>no links"}, {"/favicon.ico", Ico()}},
         "/site/",
         "",
         Ico()},
        {"the feed host's favicon without a site", {{"/favicon.ico", Ico()}}, "", "", Ico()},
        {"none", {{"/site/", "<p>"}}, "/site/", "/i.png", ""},
        {"a page nested deep", {{"/site/", deep}, {"/i.png", a}}, "/site/", "", a},
        {"a link in the body",
         {{"/site/", "<p><link rel=icon href=/i.png>"}, {"/i.png", a}},
         "/site/",
         "",
         ""},
        {"svg", {{"/i.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"}}, "", "/i.svg", ""},
        {"html served as an icon",
         {{"/favicon.ico", "<html><body>Not found</body></html>"}},
         "",
         "",
         ""},
        {"a truncated png header", {{"/i.png", a.substr(0, 20)}}, "", "/i.png", ""},
        {"a png saying 60000x60000", {{"/i.png", Png(60000, 60000)}}, "", "/i.png", ""},
        {"10 MB", {{"/i.png", a + std::string(10u << 20, 'x')}}, "", "/i.png", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TestHttpServer server;
        for (const auto& [path, body] : k.served)
            server.Serve(path, body, path.back() == '/' ? "text/html" : "image/png");
        server.Start();
        FeedAddresses addresses;
        addresses.site = *k.site ? server.Url(k.site) : "";
        addresses.icon = *k.icon ? server.Url(k.icon) : "";
        IconFetcher fetcher(nullptr);
        std::string icon;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(fetcher.Fetch(server.Url("/feed.xml"), addresses, icon), !k.expected.empty());
        EXPECT_EQ(icon, k.expected);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

TEST_F(IconFetcherTest, HeaderChecksAndFrameChoice) {
    // Two ICO frames, 48x48 then 16x16: the second is nearest to 16.
    std::string ico = Ico();
    ico[4] = 2;
    ico.insert(6, std::string("\x30\x30\0\0\1\0\x20\0\x30\0\0\0\x26\0\0\0", 16));
    ico[6 + 16 + 12] = 0x26; // the first frame's offset moved by the inserted entry
    EXPECT_EQ(IconFormat::NearestFrame(ico, 16), 1);
    std::string farFrame = ico;
    farFrame[6 + 12] = 0x7f; // an offset past the file's end
    std::string jpeg("\xFF\xD8\xFF\xE0\0\x04"
                     "ab\xFF\xC0\0\x11\x08\x00\x20\x00\x40",
                     17);
    // A 16x16 screen with a frame at 8,8 of 1020x4: wider than the screen says.
    const std::string gif("GIF89a\x10\0\x10\0\0\0\0"
                          "\x21\xF9\x04\0\0\0\0\0"
                          "\x2C\x08\0\x08\0\xFC\x03\x04\0\0\x02\x01\0\0\x3B",
                          36);
    // A progressive JPEG's scans, and GIF frames of 256x256: each decoded whole.
    std::string scans("\xFF\xD8\xFF\xC2\0\x0B\x08\0\x10\0\x10\x01\x01\x11\0", 15);
    std::string frames("GIF89a\x10\0\x10\0\0\0\0", 13);
    for (int i = 0; i < 16; ++i) {
        scans += std::string("\xFF\xDA\0\x08\x01\x01\0\0\x3F\0\x12\xFF\0\xFF\xD0", 15);
        frames += std::string("\x2C\0\0\0\0\0\x01\0\x01\0\x02\x01\0\0", 14);
    }
    const std::string moreScans = scans + scans.substr(15, 15) + "\xFF\xD9";
    const std::string moreFrames = frames + frames.substr(13, 14);
    // Scans hidden where a marker must stand ("FF 00" and a length): a decoder reads them.
    std::string hidden = scans.substr(0, 15) + std::string("\xFF\0\x01\x01", 4);
    for (int i = 0; i < 17; ++i)
        hidden += scans.substr(15, 15);
    hidden += "\xFF\xD9";
    int w = 0, h = 0;
    EXPECT_TRUE(IconFormat::Size(gif, w, h));
    EXPECT_EQ(w * 10000 + h, 1028 * 10000 + 16);
    EXPECT_TRUE(IconFormat::Size(jpeg, w, h));
    EXPECT_EQ(w * 1000 + h, 64 * 1000 + 32);
    const std::pair<std::string, bool> cases[] = {
        {Png(16, 16), true},    {Png(1024, 1), true},
        {Png(1025, 16), false}, {Png(256, 256), true},
        {Png(257, 256), false}, {scans, true},
        {moreScans, false},     {hidden, false},
        {frames, true},         {moreFrames, false},
        {Png(0, 16), false},    {ico, true},
        {farFrame, false},      {std::string("GIF89a\x10\0\x10\0\0\0\0", 13), true},
        {gif, false},           {std::string("GIF89a\0\x10\x10\0\0\0\0", 13), false},
        {jpeg, true},           {jpeg.substr(0, 10), false},
        {"<svg/>", false},
    };
    for (const auto& [bytes, acceptable] : cases)
        EXPECT_EQ(IconFormat::Acceptable(bytes), acceptable) << testing::PrintToString(bytes);
}

TEST_F(IconFetcherTest, TheQueueKeepsWhatItFoundAndTheCacheAgesByTheWeek) {
    TestHttpServer server;
    server.Serve("/i.png", Png(16, 16));
    server.Start();
    const std::wstring data = app.WPath() + L"data";
    MakeFolders(app / "data");
    IconCache cache(data);
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    EXPECT_EQ(cache.StateOf(7, now), IconCache::State::kMissing);
    platform::MessageQueue target;
    IconQueue queue(data, &target);
    FeedAddresses found, none;
    found.icon = server.Url("/i.png");
    none.icon = server.Url("/none.png");
    ASSERT_TRUE(queue.Ask({7, server.Url("/feed.xml"), found}));
    EXPECT_FALSE(queue.Ask({7, server.Url("/feed.xml"), found})); // already asked for
    ASSERT_TRUE(queue.Ask({8, server.Url("/feed.xml"), none}));
    std::vector<IconQueue::Result> results;
    for (int i = 0; i < 2; ++i) {
        platform::PostedMessage message;
        ASSERT_TRUE(target.WaitNext(message, 10000));
        EXPECT_EQ(message.message, kMsgIconFetched);
        for (auto& r : queue.TakeResults())
            results.push_back(std::move(r));
    }
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].found);
    EXPECT_FALSE(results[1].found);
    std::string bytes;
    EXPECT_TRUE(cache.Load(7, bytes, IconFormat::kMaxBytes));
    EXPECT_EQ(bytes, Png(16, 16));
    EXPECT_FALSE(cache.Load(7, bytes, 10)); // larger than asked for
    EXPECT_FALSE(cache.Load(8, bytes, IconFormat::kMaxBytes));
    EXPECT_EQ(ReadFileBytes(app / "data/icons/7.icon"), Png(16, 16));
    EXPECT_TRUE(Exists(app / "data/icons/8.none"));
    // Fresh for a week from the file's time, stale after it (or ahead of the clock).
    for (uint32_t id : {7u, 8u})
        EXPECT_EQ(cache.StateOf(id, now), IconCache::State::kFresh);
    const std::string path = app / "data/icons/8.none";
    struct utimbuf old {};
    old.actime = old.modtime = static_cast<time_t>(now - IconCache::kMaxAgeSeconds - 60);
    ASSERT_EQ(utime(path.c_str(), &old), 0);
    EXPECT_EQ(cache.StateOf(8, now), IconCache::State::kStale);
    EXPECT_EQ(cache.StateOf(7, now - 3600), IconCache::State::kStale);
    // An icon found later replaces the record; deleting takes both.
    EXPECT_TRUE(cache.Store(8, "x"));
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(cache.StoreNone(8));
    EXPECT_TRUE(cache.Delete(8));
    EXPECT_EQ(cache.StateOf(8, now), IconCache::State::kMissing);
}

TEST(PageHead, EndsWhereTheParserWouldLeaveTheHeadOrWhereAnythingDoesNotEnd) {
    const std::string body = "<div>";
    const struct {
        std::string head;
        size_t length; // npos: the whole head
    } cases[] = {
        {"<html><head><meta name=x content=it's><link rel=icon href=a>", std::string::npos},
        {"<head><meta content='a>b' x=\"c>d\"><!--> <link> --><title></title x>",
         std::string::npos},
        {"<head><!---><base href=/b/><!-- a --!><style>a</style>", std::string::npos},
        {"<head><!-- never ends <link rel=icon href=a>", 6},
        {"<head><meta content=\"never ends>", 6},
        {"<head><script>never ends", 6},
        {"<head><link rel=icon href=a></head>", 28},
    };
    for (const auto& c : cases) {
        const std::string page = c.head + body + std::string(100000, 'x');
        const size_t expected = c.length == std::string::npos ? c.head.size() : c.length;
        EXPECT_EQ(PageHead::Length(page), expected) << c.head;
    }
    // A head longer than its cap ends there.
    const std::string long_ = "<head>" + std::string(PageHead::kMaxBytes, ' ') + "<link>";
    EXPECT_EQ(PageHead::Length(long_), long_.size() - 6);
}
