#include "xml/XmlDocument.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {
std::string ErrorOf(const std::string& text) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.SetText(text));
    EXPECT_FALSE(doc.FindNextElement(nullptr)); // no elements after a failure
    return doc.ErrorText();
}
} // namespace

TEST(XmlDocument, ErrorMessagesWithTheirElementNames) {
    EXPECT_EQ(ErrorOf("<a><b></a>"), "End tag does not correspond to b");
    EXPECT_EQ(ErrorOf("<a>text"), "Element tag not found");
    EXPECT_EQ(ErrorOf("<\"a\">"), "Tag starts with quote");
    EXPECT_EQ(ErrorOf("<a x='1'"), "End of tag not found");
    EXPECT_EQ(ErrorOf("  <   "), "Abrupt end within tag");
    EXPECT_EQ(ErrorOf("<a><!-x></a>"), "Invalid node");
    EXPECT_EQ(ErrorOf("<a></a"), "End tag not completed for element a");
    EXPECT_EQ(ErrorOf("no markup"), "Element tag not found");
    CXmlDocument doc;
    EXPECT_FALSE(doc.SetText(""));
    EXPECT_EQ(doc.ErrorText(), ""); // nothing to parse is not an error message
    ASSERT_TRUE(doc.SetText("<ok/>"));
    EXPECT_FALSE(doc.SetText("<a><b></a>"));
    EXPECT_TRUE(doc.SetText("<ok/>"));
    EXPECT_EQ(doc.ErrorText(), "End tag does not correspond to b"); // a later success keeps it
}

TEST(XmlDocument, PrologueNodesAreSkippedAndOnlyTheFirstRootIsIndexed) {
    const std::string text =
        "<?xml version=\"1.0\"?>\n<!-- a comment -->\n<!DOCTYPE doc [\n <!ENTITY e \"x > y\">\n"
        " <!ELEMENT doc (a)*>\n]>\n<doc><![CDATA[<not> an </element>]]><a/><a />"
        "<b k=\"v\"></b><!-- c --></doc><second/>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.SetText(text));
    const auto& r = doc.Records();
    ASSERT_TRUE(doc.FindNextElement("doc"));
    EXPECT_FALSE(doc.FindNextElement("second"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindNextElement("a"));
    uint32_t first = doc.CurrentPosition();
    EXPECT_EQ(r[first].endClose, r[first].startClose); // <a/>
    EXPECT_EQ(text[r[first].endOpen], '/');
    ASSERT_TRUE(doc.FindNextElement("a")); // <a />
    EXPECT_EQ(r[doc.CurrentPosition()].endClose, r[doc.CurrentPosition()].startClose);
    ASSERT_TRUE(doc.FindNextElement("b"));
    uint32_t b = doc.CurrentPosition();
    EXPECT_EQ(text.compare(r[b].endOpen, 4, "</b>"), 0);
    EXPECT_EQ(text[r[b].endClose], '>');
    EXPECT_EQ(doc.GetAttribute("k"), "v");
    EXPECT_FALSE(doc.FindNextElement(nullptr));
    EXPECT_EQ(doc.FreePosition(), 5u); // document + doc, a, a, b
    ASSERT_TRUE(doc.LeaveElement());   // back to doc, whose following siblings are none
    EXPECT_FALSE(doc.FindNextElement(nullptr));
    EXPECT_FALSE(doc.LeaveElement());
}

TEST(XmlDocument, AttributesQuotedUnquotedAndCaseSensitive) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.SetText("<list><item id=5 other=\"x\"/><item id=\"5\" Name='n' flag>"
                            "</item><item a=\"1\" ab=\"2\"/></list>"));
    ASSERT_TRUE(doc.FindNextElement("list"));
    EXPECT_EQ(doc.GetAttribute("id"), "");
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindNextElement("item"));
    EXPECT_EQ(doc.GetAttribute("id"), ""); // unquoted values are not values
    EXPECT_EQ(doc.GetAttribute(""), "id"); // the first attribute's name
    ASSERT_TRUE(doc.FindNextElement("item"));
    EXPECT_EQ(doc.GetAttribute("id"), "5");
    EXPECT_EQ(doc.GetAttribute("Name"), "n");
    EXPECT_EQ(doc.GetAttribute("name"), "");
    EXPECT_EQ(doc.GetAttribute("missing"), "");
    ASSERT_TRUE(doc.FindNextElement("item"));
    EXPECT_EQ(doc.GetAttribute("ab"), "2");
    EXPECT_EQ(doc.GetAttribute("a"), "1");
    EXPECT_FALSE(doc.FindNextElement("item"));
    EXPECT_FALSE(doc.FindNextElement("ite")); // names match whole
}

TEST(XmlDocument, EntityAndNumericReferencesDecodeToUtf8) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.SetText("<v a=\"&lt;b&gt;\" b=\"&#65;&amp;&apos;&quot;\" c=\"&#x4E2D;\" "
                            "d=\"&#x1F600;&#128512;\" e=\"&copy; &#12345678; &#x41 &\" f=\"\"/>"));
    ASSERT_TRUE(doc.FindNextElement("v"));
    EXPECT_EQ(doc.GetAttribute("a"), "<b>");
    EXPECT_EQ(doc.GetAttribute("b"), "A&'\"");
    EXPECT_EQ(doc.GetAttribute("c"), "\xE4\xB8\xAD");
    EXPECT_EQ(doc.GetAttribute("d"), "\xF0\x9F\x98\x80\xF0\x9F\x98\x80");
    EXPECT_EQ(doc.GetAttribute("e"), "&copy; &#12345678; &#x41 &");
    EXPECT_EQ(doc.GetAttribute("f"), "");
}

TEST(XmlDocument, ManySmallElementsGrowTheRecordsAndFilesLoad) {
    std::string text = "<r>";
    for (int i = 0; i < 5000; ++i)
        text += "<e/>";
    text += "</r>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.SetText(text));
    ASSERT_TRUE(doc.FindNextElement("r"));
    ASSERT_TRUE(doc.EnterElement());
    int count = 0;
    while (doc.FindNextElement("e"))
        ++count;
    EXPECT_EQ(count, 5000);

    TempDir dir;
    WriteFileBytes(dir / "ok.xml", "<root a=\"1\"/>");
    WriteFileBytes(dir / "empty.xml", "");
    EXPECT_TRUE(doc.LoadFile(dir / "ok.xml"));
    EXPECT_TRUE(doc.FindNextElement("root"));
    EXPECT_FALSE(doc.LoadFile(dir / "empty.xml"));
    EXPECT_FALSE(doc.LoadFile(dir / "missing.xml"));
    EXPECT_EQ(doc.GetAttribute("a"), "");
}

TEST(XmlDocument, DeepOrUnfinishedDocumentsAreRefusedNotFollowed) {
    auto nested = [](int levels) {
        std::string open, close;
        for (int i = 0; i < levels; ++i) {
            open += "<a>";
            close += "</a>";
        }
        return open + close;
    };
    CXmlDocument doc;
    EXPECT_TRUE(doc.SetText(nested(CXmlDocument::kMaxDepth)));
    EXPECT_EQ(ErrorOf(nested(CXmlDocument::kMaxDepth + 1)), "Document nested too deeply");
    EXPECT_EQ(ErrorOf(nested(100000)), "Document nested too deeply");
    for (const char* cut :
         {"<! x", "<  ! x", "<a><  ? x", "<a><! x", "<a><? x", "<a><!-- x", "<a><![CDATA[x", "<?"})
        EXPECT_FALSE(ErrorOf(cut).empty()) << cut;
}
