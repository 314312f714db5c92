#include "ScopedEnv.h"
#include "engine/ItemText.h"
#include "engine/RssDocument.h"

#include <gtest/gtest.h>

namespace {
// The reader reads the caller's text in place, so each helper keeps its own copy alive.
bool Version(const std::string& text) {
    return RssDocument(text).HasSupportedVersion();
}
std::string Date(const std::string& text) {
    return RssDocument(text).BuildDate();
}
DocumentEncoding Encoding(const std::string& text) {
    return RssDocument(text).Encoding();
}
} // namespace

TEST(RssDocument, VersionAttributeWhereverItStandsInEitherQuotes) {
    for (const char* supported : {"<rss version=\"2.0\"><channel/></rss>", "<rss version='2.0'>",
                                  "<?xml version=\"1.0\"?>\n<rss xmlns:dc=\"http://purl.org/dc/\"\n"
                                  "  version=\"2.0\" xmlns:a='x'>",
                                  "<rss\tversion = \"2.0\" >",
                                  "<!-- <rss version='1.0'> --><?pi <rss> ?><rss version='2.0'>"})
        EXPECT_TRUE(Version(supported)) << supported;
    for (const char* other :
         {"<rss version=\"0.91\">", "<rss>", "<rss xmlns:v=\"2.0\" myversion=\"2.0\">",
          "<rss version=\"2.0" /* no tag end */, "<rssfeed version=\"2.0\">",
          "<feed xmlns=\"http://www.w3.org/2005/Atom\">",
          // What a comment, a processing instruction or a document type before the root
          // names does not count; one that never ends leaves no root.
          "<!-- <rss version=\"2.0\"> --><feed xmlns=\"http://www.w3.org/2005/Atom\">",
          "<!DOCTYPE feed [<!ENTITY e '<rss version=\"2.0\">'>]><feed/>",
          "<!-- <rss version=\"2.0\"> never closed"})
        EXPECT_FALSE(Version(other)) << other;
}

TEST(RssDocument, BuildDateFallsBackToPubDateThenToTheDocumentHash) {
    EXPECT_EQ(Date("<lastBuildDate>A</lastBuildDate><pubDate>B</pubDate>"), "A");
    EXPECT_EQ(Date("<lastBuildDate></lastBuildDate><pubDate>B</pubDate>"), "B");
    EXPECT_EQ(Date("</lastBuildDate><lastBuildDate>x<pubDate>B</pubDate>"), "B");
    // No dates: "fnv1a64:" + FNV-1a of the whole document ("a" hashes to af63dc4c8601ec8c).
    EXPECT_EQ(Date("a"), "fnv1a64:af63dc4c8601ec8c");
    EXPECT_EQ(Date(""), "fnv1a64:cbf29ce484222325");
    EXPECT_EQ(Date("<pubDate></pubDate>").substr(0, 8), "fnv1a64:");
}

TEST(RssDocument, EncodingOnlyFromTheXmlDeclaration) {
    const std::pair<const char*, PageEncoding> pages[] = {
        {"<?xml version=\"1.0\" encoding=\"GB2312\"?><rss>", PageEncoding::kNative},
        {"\xEF\xBB\xBF  <?xml version='1.0' encoding='gbk' ?>", PageEncoding::kNative},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", PageEncoding::kUtf8},
        // No declaration, or no encoding in it: UTF-8, never a value from the body.
        {"<rss version=\"2.0\"><description>encoding=\"gb2312\"?</description>",
         PageEncoding::kUtf8},
        {"<?xml version=\"1.0\"?><rss>", PageEncoding::kUtf8}};
    for (const auto& [text, page] : pages)
        EXPECT_EQ(Encoding(text).page, page) << text;
    const DocumentEncoding latin = Encoding("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    EXPECT_EQ(latin.page, PageEncoding::kUtf8);
    EXPECT_EQ(latin.declared, "iso-8859-1");
    EXPECT_TRUE(latin.convertToUtf8);
    EXPECT_TRUE(Encoding("<?xml version=\"1.0\" encoding=\"gb18030\"?>").convertToUtf8);
    const DocumentEncoding unknown = Encoding("<?xml version=\"1.0\" encoding=\"x-nonsense\"?>");
    EXPECT_EQ(unknown.page, PageEncoding::kUtf8);
    EXPECT_FALSE(unknown.convertToUtf8);
}

TEST(RssDocument, ItemWalkAndFields) {
    const std::string text("<channel><title>C</title><item><title>A &amp; B</title><link>L1</link>"
                           "</item><item><title><![CDATA[A & B]]></title><author>me</author></item>"
                           "<item><title></title><description>d</description></item><item x=\"1\">"
                           "<title>skip</title></item></channel>");
    RssDocument doc(text);
    // Title (not decoded, CDATA unwrapped), link, author (not a later item's), description
    // of each item; "<item x=...>" is not an item start, so the walk ends.
    const std::vector<std::vector<std::string>> expected = {
        {"A &amp; B", "L1", "", "", ""}, {"A & B", "", "me", "", ""}, {"", "", "", "d", ""}};
    size_t cursor = 0;
    ItemSpan span;
    for (const auto& fields : expected) {
        ASSERT_TRUE(doc.NextItem(cursor, span));
        auto field = [&](const std::string& tag) {
            const std::string open = "<" + tag + ">", close = "</" + tag + ">";
            return doc.Field(span, open.c_str(), close.c_str());
        };
        EXPECT_EQ((std::vector<std::string>{field("title"), field("link"), field("author"),
                                            field("description"), field("pubDate")}),
                  fields);
        // The one-pass reader gives every field exactly as Field does.
        ItemFields f;
        doc.ReadItem(span, f);
        EXPECT_EQ((std::vector<std::string>{f.title, f.link, f.author, f.description, f.pubDate}),
                  fields);
    }
    EXPECT_FALSE(doc.NextItem(cursor, span));
}

TEST(ItemText, EntitiesInTheirOrderAndTheTagCheck) {
    EXPECT_EQ(ItemText::ReplaceEntities("&amp;lt;b&amp;gt;x&amp;lt;/b&amp;gt;"), "<b>x</b>");
    EXPECT_EQ(ItemText::ReplaceEntities("&#34;q&quot; &#38; &nbsp;&#60;&#62;"), "\"q\" & <>");
    EXPECT_EQ(
        ItemText::PrepareDescription("&amp;lt;b&amp;gt;x&amp;lt;/b&amp;gt;", PageEncoding::kUtf8),
        "<b>x</b>");
    for (const char* balanced : {"<p>a<br>b</p>", "<p><img src=\"a.png\" alt=x>t</p>",
                                 "<div><p>x</p><br/></DIV >" /* void, case, blanks */,
                                 "no tags at all", "<br><hr><input>"})
        EXPECT_TRUE(ItemText::TagCheck(balanced)) << balanced;
    for (const char* broken :
         {"<b>x", "x</b>", "<b><i>x</b></i>",
          "<p><!-- note --></p>" /* a comment counts as a tag */, "a < b", "<>"})
        EXPECT_FALSE(ItemText::TagCheck(broken)) << broken;
    EXPECT_EQ(ItemText::PrepareDescription("<b>x", PageEncoding::kUtf8),
              "Invalid html tag, can't parse the content");
}

TEST(ItemText, Utf8DescriptionsSurviveTheNativeRoundTrip) {
    // Outside GBK (emoji, euro) and invalid bytes: the first kept, the last made '?'.
    EXPECT_EQ(
        ItemText::PrepareDescription("\xF0\x9F\x98\x80 \xE2\x82\xAC <i>x</i>", PageEncoding::kUtf8),
        "\xF0\x9F\x98\x80 \xE2\x82\xAC <i>x</i>");
    EXPECT_EQ(ItemText::PrepareDescription(std::string("a\xFF") + "b", PageEncoding::kUtf8), "a?b");
    // A native page keeps the feed's bytes.
    EXPECT_EQ(ItemText::PrepareDescription("\xD6\xD0&amp;", PageEncoding::kNative), "\xD6\xD0&");
}

TEST(ItemText, DisplayDateInFixedZones) {
    ScopedEnv zone("TZ", "CST-8");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Dec 2006 10:00:00 GMT"), "2006-12-03 18:00:00");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 3 Dec 2006 10:00:00 GMT"), "2006-12-03 18:00:00");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 31 Dec 2006 20:15:09 GMT"), "2007-01-01 04:15:09");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Dec 2006 10:00:00 +0000"),
              "Sun, 03 Dec 2006 10:00:00 +0000"); // no GMT: as it is
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Foo 2006 10:00:00 GMT"), "2006Foo0310:00:00");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 30 Feb 2006 10:00:00 GMT"), "2006023010:00:00");
    EXPECT_EQ(ItemText::DisplayDate("GMT"), "");
    zone.Set("IST-5:30");
    EXPECT_EQ(ItemText::DisplayDate("Sun, 03 Dec 2006 10:00:00 GMT"), "2006-12-03 15:30:00");
    zone.Set("UTC0");
    EXPECT_EQ(ItemText::DisplayDate("Thu, 01 Jan 1970 00:00:00 GMT"), "1970-01-01 00:00:00");
}

TEST(ItemText, LinksAreCleanedAndQuotedForThePage) {
    EXPECT_EQ(ItemText::CleanLink("\n  http://a/b\r\n?c=1 \t\n"), "http://a/b?c=1");
    EXPECT_EQ(ItemText::CleanLink(" \r\n "), "");
    EXPECT_EQ(ItemText::LinkForPage("http://a/b?x=1&y='2'"), "http://a/b?x=1&amp;y=\\'2\\'");
    EXPECT_EQ(ItemText::LinkForPage("http://a/\"><script>"), "http://a/%22%3E%3Cscript%3E");
}
