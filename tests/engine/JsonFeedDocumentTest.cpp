#include "engine/JsonFeedDocument.h"

#include <gtest/gtest.h>

namespace {

const char kUrl[] = "http://feeds.example/dir/feed.json";

std::string Feed(const std::string& members) {
    return "{\"version\": \"https://jsonfeed.org/version/1.1\", \"items\": []" + members + "}";
}

} // namespace

TEST(JsonFeedDocument, HomePageAndIconAreWebAddressesOnly) {
    struct Case {
        std::string members, homePage, icon;
    };
    const Case cases[] = {
        {R"j(, "home_page_url": "../home/", "favicon": "javascript:alert(1)", "icon": "i.png")j",
         "http://feeds.example/home/", "http://feeds.example/dir/i.png"},
        {R"j(, "home_page_url": 5, "favicon": "https://f.example/f.ico", "icon": "i.png")j", "",
         "https://f.example/f.ico"},
        {R"j(, "home_page_url": "ftp://x/", "favicon": [], "icon": "data:image/png,x")j", "", ""},
        {R"j(, "home_page_url": "http://a/\"><b>", "favicon": "http://a/b c")j", "", ""}};
    for (const Case& c : cases) {
        JsonFeedDocument feed;
        ASSERT_EQ(feed.Read(Feed(c.members), kUrl), JsonFeedDocument::Status::kRead) << c.members;
        EXPECT_EQ(feed.HomePage(), c.homePage) << c.members;
        EXPECT_EQ(feed.Icon(), c.icon) << c.members;
    }
}

TEST(JsonFeedDocument, NestingAndItemsUpToTheirLimits) {
    auto nested = [](size_t levels) { // the feed's object is the first level
        return Feed(", \"x\": " + std::string(levels - 1, '[') + std::string(levels - 1, ']'));
    };
    JsonFeedDocument feed;
    EXPECT_EQ(feed.Read(nested(JsonFeedDocument::kMaxDepth), kUrl),
              JsonFeedDocument::Status::kRead);
    EXPECT_EQ(feed.Read(nested(JsonFeedDocument::kMaxDepth + 1), kUrl),
              JsonFeedDocument::Status::kNotAFeed);
    EXPECT_EQ(feed.Read("[" + Feed("") + "]", kUrl), JsonFeedDocument::Status::kNotAFeed);
    const std::string three = R"({"version": "https://jsonfeed.org/version/1",
                                  "items": [{"id": "1"}, {"id": "2"}, {"id": "3"}]})";
    ASSERT_EQ(feed.Read(three, kUrl, 2), JsonFeedDocument::Status::kRead);
    ASSERT_EQ(feed.Items().size(), 2u);
    EXPECT_EQ(feed.Items()[1].link, "2");
    // A byte that is not UTF-8 is read as U+FFFD, as the XML readers read it.
    ASSERT_EQ(feed.Read(R"({"version": "https://jsonfeed.org/version/1",
                            "items": [{"id": "1", "title": "a)"
                        "\xff"
                        R"(b"}]})",
                        kUrl),
              JsonFeedDocument::Status::kRead);
    ASSERT_EQ(feed.Items().size(), 1u);
    EXPECT_EQ(feed.Items()[0].title, "a\xEF\xBF\xBD"
                                     "b");
}
