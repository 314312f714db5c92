#include "xml/XmlDocument.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {
// The values of the named attributes of the current element, each followed by '|'.
std::string Values(CXmlDocument& doc, std::initializer_list<const char*> names) {
    std::string values;
    for (const char* name : names)
        values += doc.GetAttribute(name) + "|";
    return values;
}
std::string ErrorOf(const std::string& text) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.SetText(text));
    EXPECT_FALSE(doc.FindNextElement(nullptr)); // no elements after a failure
    return doc.ErrorText();
}
std::string Repeat(const std::string& text, int times) {
    std::string out;
    while (times-- > 0)
        out += text;
    return out;
}
std::string Nested(int levels) {
    return Repeat("<a>", levels) + Repeat("</a>", levels);
}
} // namespace

TEST(XmlDocument, ErrorMessagesWithTheirElementNamesAndDepthLimit) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"<a><b></a>"}, "End tag does not correspond to b"},
        {{"<a>text", "no markup"}, "Element tag not found"},
        {{"<\"a\">"}, "Tag starts with quote"},
        {{"<a x='1'"}, "End of tag not found"},
        {{"  <   "}, "Abrupt end within tag"},
        {{"<a><!-x></a>"}, "Invalid node"},
        {{"<a></a"}, "End tag not completed for element a"},
        {{Nested(CXmlDocument::kMaxDepth + 1), Nested(100000)}, "Document nested too deeply"}};
    for (const auto& [texts, message] : cases)
        for (const std::string& text : texts)
            EXPECT_EQ(ErrorOf(text), message) << text.substr(0, 40);
    // Ends inside a construct: refused with some message.
    for (const char* cut :
         {"<! x", "<  ! x", "<a><  ? x", "<a><! x", "<a><? x", "<a><!-- x", "<a><![CDATA[x", "<?"})
        EXPECT_FALSE(ErrorOf(cut).empty()) << cut;
    CXmlDocument doc;
    EXPECT_TRUE(doc.SetText(Nested(CXmlDocument::kMaxDepth)));
    EXPECT_FALSE(doc.SetText(""));
    EXPECT_EQ(doc.ErrorText(), ""); // nothing to parse is not an error message
    EXPECT_FALSE(doc.SetText("<a><b></a>"));
    EXPECT_TRUE(doc.SetText("<ok/>"));
    EXPECT_EQ(doc.ErrorText(), "End tag does not correspond to b"); // a later success keeps it
}

TEST(XmlDocument, WalksTheFirstRootGrowsLoadsFilesAndReadsAttributes) {
    const std::string text =
        "<?xml version=\"1.0\"?>\n<!-- a comment -->\n<!DOCTYPE doc [\n <!ENTITY e \"x > y\">\n"
        " <!ELEMENT doc (a)*>\n]>\n<doc><![CDATA[<not> an </element>]]><a/><a />"
        "<b k=\"v\"></b><!-- c --></doc><second/>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.SetText(text));
    auto at = [&doc] { return doc.Records()[doc.CurrentPosition()]; };
    ASSERT_TRUE(doc.FindNextElement("doc"));
    EXPECT_FALSE(doc.FindNextElement("second"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindNextElement("a"));
    EXPECT_EQ(at().endClose, at().startClose); // <a/>
    EXPECT_EQ(text[at().endOpen], '/');
    ASSERT_TRUE(doc.FindNextElement("a")); // <a />
    EXPECT_EQ(at().endClose, at().startClose);
    ASSERT_TRUE(doc.FindNextElement("b"));
    EXPECT_EQ(text.compare(at().endOpen, 4, "</b>"), 0);
    EXPECT_EQ(text[at().endClose], '>');
    EXPECT_EQ(doc.GetAttribute("k"), "v");
    EXPECT_FALSE(doc.FindNextElement(nullptr));
    EXPECT_EQ(doc.FreePosition(), 5u); // document + doc, a, a, b
    ASSERT_TRUE(doc.LeaveElement());   // back to doc, whose following siblings are none
    EXPECT_FALSE(doc.FindNextElement(nullptr));
    EXPECT_FALSE(doc.LeaveElement());
    // Many small elements grow the records.
    ASSERT_TRUE(doc.SetText("<r>" + Repeat("<e/>", 5000) + "</r>"));
    ASSERT_TRUE(doc.FindNextElement("r"));
    ASSERT_TRUE(doc.EnterElement());
    for (int i = 0; i < 5000; ++i)
        ASSERT_TRUE(doc.FindNextElement("e")) << i;
    EXPECT_FALSE(doc.FindNextElement("e"));
    TempDir dir;
    WriteFileBytes(dir / "ok.xml", "<root a=\"1\"/>");
    WriteFileBytes(dir / "empty.xml", "");
    EXPECT_TRUE(doc.LoadFile(dir / "ok.xml"));
    EXPECT_TRUE(doc.FindNextElement("root"));
    EXPECT_FALSE(doc.LoadFile(dir / "empty.xml"));
    EXPECT_FALSE(doc.LoadFile(dir / "missing.xml"));
    EXPECT_EQ(doc.GetAttribute("a"), "");
    // Attributes: quoted only, case-sensitive, references decoded to UTF-8.
    ASSERT_TRUE(doc.SetText("<list><item id=5 other=\"x\"/><item id=\"5\" Name='n' flag>"
                            "</item><item a=\"1\" ab=\"2\"/></list>"));
    ASSERT_TRUE(doc.FindNextElement("list"));
    EXPECT_EQ(doc.GetAttribute("id"), "");
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindNextElement("item"));
    EXPECT_EQ(doc.GetAttribute("id"), ""); // unquoted values are not values
    EXPECT_EQ(doc.GetAttribute(""), "id"); // the first attribute's name
    ASSERT_TRUE(doc.FindNextElement("item"));
    EXPECT_EQ(Values(doc, {"id", "Name", "name", "missing"}), "5|n|||");
    ASSERT_TRUE(doc.FindNextElement("item"));
    EXPECT_EQ(Values(doc, {"ab", "a"}), "2|1|");
    EXPECT_FALSE(doc.FindNextElement("item"));
    EXPECT_FALSE(doc.FindNextElement("ite")); // names match whole
    ASSERT_TRUE(doc.SetText("<v a=\"&lt;b&gt;\" b=\"&#65;&amp;&apos;&quot;\" c=\"&#x4E2D;\" "
                            "d=\"&#x1F600;&#128512;\" e=\"&copy; &#x41 &#; &\" f=\"\" "
                            "g=\"&#X41;&#x00000041;&#000000065;\" "
                            "h=\"&#0;&#1;&#xD800;&#xDFFF;&#xFFFE;&#x110000;&#12345678;&#9;\"/>"));
    ASSERT_TRUE(doc.FindNextElement("v"));
    // e: no references, as they stand; g: 'X', at most 8 digits; h: what XML does not allow
    // (NUL, controls, surrogates, U+FFFE, beyond U+10FFFF) is U+FFFD, tab stays.
    EXPECT_EQ(Values(doc, {"a", "b", "c", "d", "e", "f", "g", "h"}),
              "<b>|A&'\"|\xE4\xB8\xAD|\xF0\x9F\x98\x80\xF0\x9F\x98\x80|&copy; &#x41 &#; &||"
              "AA&#000000065;|" +
                  Repeat("\xEF\xBF\xBD", 7) + "\t|");
}
