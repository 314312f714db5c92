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
    EXPECT_TRUE(Version("<rss version=\"2.0\"><channel/></rss>"));
    EXPECT_TRUE(Version("<rss version='2.0'>"));
    EXPECT_TRUE(Version("<?xml version=\"1.0\"?>\n<rss xmlns:dc=\"http://purl.org/dc/\"\n"
                        "  version=\"2.0\" xmlns:a='x'>"));
    EXPECT_TRUE(Version("<rss\tversion = \"2.0\" >"));
    EXPECT_FALSE(Version("<rss version=\"0.91\">"));
    EXPECT_FALSE(Version("<rss>"));
    EXPECT_FALSE(Version("<rss xmlns:v=\"2.0\" myversion=\"2.0\">"));
    EXPECT_FALSE(Version("<rss version=\"2.0")); // no tag end
    EXPECT_FALSE(Version("<rssfeed version=\"2.0\">"));
    EXPECT_FALSE(Version("<feed xmlns=\"http://www.w3.org/2005/Atom\">"));
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
    auto page = [](const std::string& text) { return Encoding(text); };
    EXPECT_EQ(page("<?xml version=\"1.0\" encoding=\"GB2312\"?><rss>").page, PageEncoding::kNative);
    EXPECT_EQ(page("\xEF\xBB\xBF  <?xml version='1.0' encoding='gbk' ?>").page,
              PageEncoding::kNative);
    EXPECT_EQ(page("<?xml version=\"1.0\" encoding=\"UTF-8\"?>").page, PageEncoding::kUtf8);
    // No declaration, or no encoding in it: UTF-8, never a value from the body.
    EXPECT_EQ(page("<rss version=\"2.0\"><description>encoding=\"gb2312\"?</description>").page,
              PageEncoding::kUtf8);
    EXPECT_EQ(page("<?xml version=\"1.0\"?><rss>").page, PageEncoding::kUtf8);
    DocumentEncoding latin = page("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    EXPECT_EQ(latin.page, PageEncoding::kUtf8);
    EXPECT_EQ(latin.declared, "iso-8859-1");
    EXPECT_TRUE(latin.convertToUtf8);
    EXPECT_TRUE(page("<?xml version=\"1.0\" encoding=\"gb18030\"?>").convertToUtf8);
    DocumentEncoding unknown = page("<?xml version=\"1.0\" encoding=\"x-nonsense\"?>");
    EXPECT_EQ(unknown.page, PageEncoding::kUtf8);
    EXPECT_FALSE(unknown.convertToUtf8);
}

TEST(RssDocument, ItemWalkAndFields) {
    const std::string text("<channel><title>C</title><item><title>A &amp; B</title><link>L1</link>"
                           "</item><item><title><![CDATA[A & B]]></title><author>me</author></item>"
                           "<item><title></title><description>d</description></item><item x=\"1\">"
                           "<title>skip</title></item></channel>");
    RssDocument doc(text);
    size_t cursor = 0;
    ItemSpan span;
    ASSERT_TRUE(doc.NextItem(cursor, span));
    EXPECT_EQ(doc.Field(span, "<title>", "</title>"), "A &amp; B"); // titles are not decoded
    EXPECT_EQ(doc.Field(span, "<link>", "</link>"), "L1");
    EXPECT_EQ(doc.Field(span, "<author>", "</author>"), ""); // a later item's author is not it
    ASSERT_TRUE(doc.NextItem(cursor, span));
    EXPECT_EQ(doc.Field(span, "<title>", "</title>"), "A & B");
    EXPECT_EQ(doc.Field(span, "<author>", "</author>"), "me");
    ASSERT_TRUE(doc.NextItem(cursor, span));
    EXPECT_EQ(doc.Field(span, "<title>", "</title>"), "");
    EXPECT_EQ(doc.Field(span, "<description>", "</description>"), "d");
    // "<item x=...>" is not an item start, so the walk ends.
    EXPECT_FALSE(doc.NextItem(cursor, span));

    // The one-pass reader gives every field exactly as Field does.
    cursor = 0;
    while (doc.NextItem(cursor, span)) {
        ItemFields f;
        doc.ReadItem(span, f);
        EXPECT_EQ(f.link, doc.Field(span, "<link>", "</link>"));
        EXPECT_EQ(f.title, doc.Field(span, "<title>", "</title>"));
        EXPECT_EQ(f.description, doc.Field(span, "<description>", "</description>"));
        EXPECT_EQ(f.author, doc.Field(span, "<author>", "</author>"));
        EXPECT_EQ(f.pubDate, doc.Field(span, "<pubDate>", "</pubDate>"));
    }
}
