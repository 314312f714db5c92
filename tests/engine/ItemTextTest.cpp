#include "engine/ItemText.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {
void SetZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}
} // namespace

TEST(ItemText, EntitiesInTheirOrderAndTheTagCheck) {
    EXPECT_EQ(ItemText::ReplaceEntities("&amp;lt;b&amp;gt;x&amp;lt;/b&amp;gt;"), "<b>x</b>");
    EXPECT_EQ(ItemText::ReplaceEntities("&#34;q&quot; &#38; &nbsp;&#60;&#62;"), "\"q\" & <>");
    EXPECT_EQ(
        ItemText::PrepareDescription("&amp;lt;b&amp;gt;x&amp;lt;/b&amp;gt;", PageEncoding::kUtf8),
        "<b>x</b>");
    EXPECT_TRUE(ItemText::TagCheck("<p>a<br>b</p>"));
    EXPECT_TRUE(ItemText::TagCheck("<p><img src=\"a.png\" alt=x>t</p>"));
    EXPECT_TRUE(ItemText::TagCheck("<div><p>x</p><br/></DIV >")); // void + case + blanks
    EXPECT_TRUE(ItemText::TagCheck("no tags at all"));
    EXPECT_TRUE(ItemText::TagCheck("<br><hr><input>"));
    EXPECT_FALSE(ItemText::TagCheck("<b>x"));
    EXPECT_FALSE(ItemText::TagCheck("x</b>"));
    EXPECT_FALSE(ItemText::TagCheck("<b><i>x</b></i>"));
    EXPECT_FALSE(ItemText::TagCheck("<p><!-- note --></p>")); // a comment counts as a tag
    EXPECT_FALSE(ItemText::TagCheck("a < b"));
    EXPECT_FALSE(ItemText::TagCheck("<>"));
    EXPECT_EQ(ItemText::PrepareDescription("<b>x", PageEncoding::kUtf8),
              "Invalid html tag, can't parse the content");
}

TEST(ItemText, Utf8DescriptionsSurviveTheNativeRoundTrip) {
    // Outside GBK (emoji, euro) and invalid bytes: the first kept, the last made '?'.
    EXPECT_EQ(
        ItemText::PrepareDescription("\xF0\x9F\x98\x80 \xE2\x82\xAC <i>x</i>", PageEncoding::kUtf8),
        "\xF0\x9F\x98\x80 \xE2\x82\xAC <i>x</i>");
    EXPECT_EQ(ItemText::PrepareDescription("a\xFF"
                                           "b",
                                           PageEncoding::kUtf8),
              "a?b");
    // A native page keeps the feed's bytes.
    EXPECT_EQ(ItemText::PrepareDescription("\xD6\xD0&amp;", PageEncoding::kNative), "\xD6\xD0&");
}

TEST(ItemText, DisplayDateInFixedZones) {
    SetZone("CST-8");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Dec 2006 10:00:00 GMT"), "2006-12-03 18:00:00");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 3 Dec 2006 10:00:00 GMT"), "2006-12-03 18:00:00");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 31 Dec 2006 20:15:09 GMT"), "2007-01-01 04:15:09");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Dec 2006 10:00:00 +0000"),
              "Sun, 03 Dec 2006 10:00:00 +0000"); // no GMT: as it is
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Foo 2006 10:00:00 GMT"), "2006Foo0310:00:00");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 30 Feb 2006 10:00:00 GMT"), "2006023010:00:00");
    EXPECT_EQ(ItemText::DisplayDate("GMT"), "");
    SetZone("IST-5:30");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Dec 2006 10:00:00 GMT"), "2006-12-03 15:30:00");
    SetZone("UTC0");
    EXPECT_EQ(ItemText::DisplayDate("Thu, 01 Jan 1970 00:00:00 GMT"), "1970-01-01 00:00:00");
}

TEST(ItemText, LinksAreCleanedAndQuotedForThePage) {
    EXPECT_EQ(ItemText::CleanLink("\n  http://a/b\r\n?c=1 \t\n"), "http://a/b?c=1");
    EXPECT_EQ(ItemText::CleanLink(" \r\n "), "");
    EXPECT_EQ(ItemText::LinkForPage("http://a/b?x=1&y='2'"), "http://a/b?x=1&amp;y=\\'2\\'");
    EXPECT_EQ(ItemText::LinkForPage("http://a/\"><script>"), "http://a/%22%3E%3Cscript%3E");
}
