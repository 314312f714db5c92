#include "engine/HtmlSanitizer.h"
#include "FeedFixtures.h"
#include "PageAudit.h"
#include "engine/PageWriter.h"
#include "platform/CodePage.h"
#include "reader/ItemAction.h"

#include <gtest/gtest.h>
#include <gumbo.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

std::string PageOf(const std::vector<PageItemTexts>& items,
                   PageEncoding encoding = PageEncoding::kUtf8) {
    PageWriter writer(encoding, 0, "http://feed.example/rss.xml");
    uint32_t n = 0;
    for (const PageItemTexts& texts : items) {
        ++n;
        writer.AppendItem(n, 0, 7, "http://feed.example/item" + std::to_string(n), texts, false,
                          false);
    }
    return writer.Finish(n);
}

// Frees blocks of a parse node's size whose every word reads as quirks mode: the next parse
// is handed memory used before, as it is in a long-running process, and must give what it
// gives on fresh memory.
void LeaveUsedMemory() {
    constexpr size_t kWords = sizeof(GumboNode) / sizeof(int);
    void* blocks[8];
    for (void*& block : blocks) {
        block = std::malloc(sizeof(GumboNode));
        volatile int* words = static_cast<int*>(block);
        for (size_t i = 0; i < kWords; ++i)
            words[i] = GUMBO_DOCTYPE_QUIRKS;
    }
    for (void* block : blocks)
        std::free(block);
}

TEST(HtmlSanitizerTest, EveryFieldEndsWhereMarkupStartedAndThePageKeepsItsShape) {
    // Fields that end inside a tag, an attribute value or a comment, which the page's own
    // markup would then close; markup that would close the page's elements or pose as them.
    const std::vector<PageItemTexts> items = {
        {"Title <img src=x onerror=fetch('http://127.0.0.1:9/b') ", "d", "a", "t"},
        {"Harmless <!--", "<a title=\"--><img src=x onerror=alert(1)>\">more</a>", "a", "t"},
        {"t", "<p>unclosed <a href=\"http://x/\" title=\"open", "Ann <img src=x onerror=a() ",
         "Mon, 01 Jan 2024 <!-- "},
        {"<script>alert(1)</script>ok", "</p></DIV></DIV><div class=gn_stories id=9_contentdiv>",
         "<textarea>", "<style>"},
        {"<b><a href=\"http://t/\">linked</a> title", "<b><p>x</p></b><li>y<table><td>z</table>",
         "<xmp>", "<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\">"},
        {"<IMG class=icon id=1_read src=\"HtmlStyle/unread.gif\">", "<p id=1_delete class=icon>",
         "</font></A>", "</SPAN><SPAN class=sep>"},
    };
    for (PageEncoding encoding : {PageEncoding::kUtf8, PageEncoding::kNative}) {
        const std::string page = PageOf(items, encoding);
        EXPECT_EQ(AuditPage(page, {1, 2, 3, 4, 5, 6}), "") << page;
        EXPECT_EQ(page.find("<!--"), std::string::npos);
    }
    // What a field keeps: its words, the markup it may keep, every element closed.
    HtmlSanitizer::Context title;
    title.inlineText = true;
    EXPECT_EQ(HtmlSanitizer::Sanitize(items[0].title, title), "Title ");
    EXPECT_EQ(HtmlSanitizer::Sanitize(items[4].title, title), "<b>linked title</b>");
    EXPECT_EQ(HtmlSanitizer::Sanitize(items[2].description), "<p>unclosed </p>");
    EXPECT_EQ(HtmlSanitizer::Sanitize(items[1].description),
              "<a title=\"--&gt;&lt;img src=x onerror=alert(1)&gt;\">more</a>");
}

TEST(HtmlSanitizerTest, KeepsOnlyWhatCannotRunLoadOrSubmitAndOrdinaryTextByteForByte) {
    const Cases cases = {
        // Elements that go with their content.
        {"a<script>alert(1)</script>b", "ab"},
        {"a<SCRIPT src=//x/y.js></SCRIPT>b", "ab"},
        {"<object data=x><p>fallback</p></object>x<embed src=a.swf>y<iframe src=http://x/>", "xy"},
        {"<svg><a xlink:href=\"javascript:x\">t</a></svg><math><mi>x</mi></math>ok", "ok"},
        {"<meta http-equiv=refresh content=\"0;url=x\"><link rel=import href=x><base href=h>ok",
         "ok"},
        {"<video src=http://v/ poster=x><source src=y></video><audio src=z></audio>ok", "ok"},
        {"a<script>unterminated", "a"},
        // Elements that are unwrapped: their content stays.
        {"<form action=http://x/><b>Name</b><input name=n></form>", "<b>Name</b>"},
        {"<button formaction=javascript:x>Go</button><font color=red>red</font>", "Gored"},
        {"<body onload=alert(1)>t<html onclick=alert(1)>", "t"},
        // Attributes: events, styles, ids and classes go; addresses must be web ones.
        // What a browser strips from an address goes from a web address too.
        {"<a href=\"http://x/a\tb\">t</a>", "<a href=\"http://x/ab\">t</a>"},
        {"<img src=\"https://i/ \">", "<img src=\"https://i/\">"},
        {"<img src=http://i/ onerror=alert(1) style=\"background:url(/x)\">",
         "<img src=\"http://i/\">"},
        {"<p ONMOUSEOVER='x()' class=c id=1_read name=n title='a\"b'>t</p>",
         "<p title=\"a&quot;b\">t</p>"},
        {"<a href=\"  JaVa&#x09;Script&colon;x\">t</a><a href=\"java\nscript:x\">u</a>",
         "<a>t</a><a>u</a>"},
        {"<a href=vbscript:x>t</a><a href=data:text/html,x>u</a><a href=file:///etc/passwd>v</a>",
         "<a>t</a><a>u</a><a>v</a>"},
        {"<img src=\"data:image/svg+xml,<svg onload=x>\"><img src=\"data:image/png;base64,AA\">",
         "<img><img src=\"data:image/png;base64,AA\">"},
        {"<img srcset=\"a.png 1x, javascript:x 2x\" width=10 height=\"x\">", "<img width=\"10\">"},
        {"<img width=\"123456\"><img width=\"1234567\">", "<img width=\"123456\"><img>"},
        {"<a x x onclick=1>t</a>", "<a>t</a>"},
        {"<!-- a comment --> text <![CDATA[x]]>", " text "},
        // Removing one construct must not join the text around it into a new one.
        {"<<script></script>script>alert(1)<</script>/script>",
         "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"<table><tr><td>t</td></tr></table>", "<table><tbody><tr><td>t</td></tr></tbody></table>"},
        {"<p>a<table><tr><td>t</td></tr></table>",
         "<p>a</p><table><tbody><tr><td>t</td></tr></tbody></table>"},
        // Text and markup of the kept kind pass byte for byte ("": unchanged), in the native
        // code page (GB2312 bytes) too.
        {"", ""},
        {"Plain title with & and 'quotes' and \"double\" > signs", ""},
        {"<p>Hello <b>world</b>, <i>i</i> <a "
         "href=\"http://example.com/a?b=1&amp;c=2\">link</a></p>",
         ""},
        {"<img src=\"https://x/y.png\" width=10 alt='a'><br/><hr>", ""},
        {"<a href=\"mailto:a@b.c\">m</a><img src=\"data:image/png;base64,iVBORw0KGgo=\">", ""},
        {"<ul><li>a</li><li>b <em>c</em></li></ul><blockquote><p>q</p></blockquote>", ""},
        {"\xC4\xE3\xBA\xC3<b>\xCA\xC0\xBD\xE7</b>", ""},
        {"\xE4\xBD\xA0\xE5\xA5\xBD <em>UTF-8</em>", ""},
    };
    HtmlSanitizer::Context native;
    native.native = true;
    for (const auto& [input, given] : cases) {
        const std::string& expected = given.empty() ? input : given;
        LeaveUsedMemory();
        EXPECT_EQ(HtmlSanitizer::Sanitize(input), expected) << input;
        EXPECT_EQ(HtmlSanitizer::Sanitize(expected), expected) << "again: " << expected;
        EXPECT_EQ(HtmlSanitizer::Sanitize(input, native), expected) << "native: " << input;
    }
    // A native text that changes is rewritten in its own encoding.
    EXPECT_EQ(HtmlSanitizer::Sanitize("\xD6\xD0<script>x</script>\xCE\xC4<b>&amp;", native),
              "\xD6\xD0\xCE\xC4<b>&amp;</b>");
}

TEST(HtmlSanitizerTest, AddressesResolveAgainstTheItemNeverThePagesFolder) {
    HtmlSanitizer::Context item;
    item.base = "http://feed.example/news/2024/item.html";
    const Cases cases = {
        {"<img src=\"/dev/zero\">", "<img src=\"http://feed.example/dev/zero\">"},
        {"<a href=\"../../etc/passwd\">p</a>", "<a href=\"http://feed.example/etc/passwd\">p</a>"},
        {"<img src=x>", "<img src=\"http://feed.example/news/2024/x\">"},
        {"<img src=\"//host/x\">", "<img src=\"http://host/x\">"},
        {"<a href=\"\\\\evil\\x\">b</a>", "<a href=\"http://evil/x\">b</a>"},
        {"<a href=\"#frag\">f</a><a href=\"?q=1&amp;r=2\">q</a>",
         "<a href=\"http://feed.example/news/2024/item.html#frag\">f</a>"
         "<a href=\"http://feed.example/news/2024/item.html?q=1&amp;r=2\">q</a>"},
        {"<a href=\"mailto:a@b.c\">m</a><img src=\"mailto:a@b.c\">",
         "<a href=\"mailto:a@b.c\">m</a><img>"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(HtmlSanitizer::Sanitize(input, item), expected) << input;
    // Without a web address to stand on, a relative address goes.
    EXPECT_EQ(HtmlSanitizer::Sanitize("<img src=\"/dev/zero\"><a href=x>y</a>"), "<img><a>y</a>");
    item.base = "file:///home/reader/";
    EXPECT_EQ(HtmlSanitizer::Sanitize("<img src=\"/dev/zero\">", item), "<img>");
    // The page writer's base is the item's web link, else the feed's address.
    PageWriter writer(PageEncoding::kUtf8, 0, "https://feed.example/rss.xml");
    writer.AppendItem(1, 0, 7, "urn:uuid:1", {"t", "<img src=a.png>", "", ""}, false, false);
    EXPECT_NE(writer.Finish(1).find("<img src=\"https://feed.example/a.png\">"), std::string::npos);
}

TEST(HtmlSanitizerTest, PageMarkersInFeedTextSurviveReadBack) {
    const PageItemTexts texts = {
        "<font color=red>Red</font> title",
        "<DIV class=gn_storyfooter id=1>x</DIV><SPAN class=sep>|</SPAN>end",
        "Ann footer name=\"2_footer\"> Bob", "2024</SPAN>"};
    // A second item whose title holds the first item's read-icon marker.
    const PageItemTexts second = {"<IMG class=icon id=1_read src=\"HtmlStyle/unread.gif\">", "", "",
                                  ""};
    const std::string page = PageOf({texts, second});
    auto back = PageWriter::ReadBack(page, 2);
    ASSERT_EQ(back.size(), 2u);
    // What comes back is what was written, and writing it again changes nothing.
    for (int round = 0; round < 3; ++round) {
        const std::string rewritten = PageOf({back[1], back[2]});
        EXPECT_EQ(rewritten, page);
        back = PageWriter::ReadBack(rewritten, 2);
    }
    EXPECT_EQ(back[1].title, "Red title");
    EXPECT_EQ(back[1].description, "<div>x</div><span>|</span>end");
    EXPECT_EQ(back[1].author, "Ann footer name=&quot;2_footer\"> Bob");
    EXPECT_EQ(back[1].date, "2024");
    const std::string marker = "<IMG class=icon id=1_read src=\"HtmlStyle/";
    EXPECT_EQ(page.find(marker), page.rfind(marker));
}

TEST(HtmlSanitizerTest, DeepOrHugeMarkupIsBoundedInDepthAndWork) {
    // Parsing time grows with the square of the nesting depth: past 10,000 tags, or nested
    // past 1,024 levels, a text is shown as text.
    for (int count : {10001, 1025}) {
        const std::string deep = Repeat("<div>", count) + "<img src=x onerror=alert(1)>end";
        const std::string out = HtmlSanitizer::Sanitize(deep);
        EXPECT_EQ(out.find('<'), std::string::npos);
        const std::string tail = "&lt;img src=x onerror=alert(1)>end";
        EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
        EXPECT_EQ(HtmlSanitizer::Sanitize(out), out);
    }
    // Exactly 10,000 tags keep their markup (the comment makes it more than plain markup).
    const std::string breaks = "<!---->" + Repeat("<br>", 10000);
    EXPECT_EQ(HtmlSanitizer::Sanitize(breaks), breaks.substr(7));
    EXPECT_EQ(HtmlSanitizer::Sanitize(breaks + "<br>").find('<'), std::string::npos);
    // Balanced but deep markup keeps 64 levels: a browser that stops nesting further would
    // let the rest of the end tags close the page's own elements.
    const std::string nested = Repeat("<div>", 600) + "x" + Repeat("</div>", 600);
    const std::string page = PageOf({{"t", nested + "<h1>after</h1>", "", ""}, {"u", "d", "", ""}});
    EXPECT_EQ(AuditPage(page, {1, 2}), "");
    const std::string out = HtmlSanitizer::Sanitize(nested);
    size_t divs = 0;
    for (size_t pos = out.find("<div>"); pos != std::string::npos; pos = out.find("<div>", pos + 1))
        ++divs;
    EXPECT_EQ(divs, 64u);
}

// The value of the first <a>'s href as the browser reads it.
std::string HrefAsRun(const std::string& page) {
    GumboOutput* out = gumbo_parse(page.c_str());
    std::string href;
    std::vector<const GumboNode*> stack{out->root};
    while (!stack.empty() && href.empty()) {
        const GumboNode* n = stack.back();
        stack.pop_back();
        if (n->type != GUMBO_NODE_ELEMENT)
            continue;
        if (n->v.element.tag == GUMBO_TAG_A) {
            const GumboAttribute* a = gumbo_get_attribute(&n->v.element.attributes, "href");
            href = a ? a->value : "";
        }
        for (unsigned i = n->v.element.children.length; i-- > 0;)
            stack.push_back(static_cast<const GumboNode*>(n->v.element.children.data[i]));
    }
    gumbo_destroy_output(&kGumboDefaultOptions, out);
    return href;
}

TEST(HtmlSanitizerTest, TitleLinkIsOneStringLiteralAfterTheBrowsersDecoding) {
    // The link, the page's encoding, the literal's value in UTF-8.
    const std::vector<std::tuple<std::string, PageEncoding, std::string>> cases = {
        {"http://x/%27);f(%27", PageEncoding::kUtf8, "http://x/%27);f(%27"},
        {"http://x/a'b\\c\"d<e>f g", PageEncoding::kUtf8, "http://x/a'b\\c\"d<e>f g"},
        {"http://x/?q=100%&r=%41", PageEncoding::kUtf8, "http://x/?q=100%&r=%41"},
        {"http://x/\x01\x7F", PageEncoding::kUtf8, "http://x/\x01\x7F"},
        {"http://x/&#39;);alert(1);//", PageEncoding::kUtf8, "http://x/');alert(1);//"},
        // Read as GB18030, a lead byte would take the backslash before the quote with it.
        {"http://x/\x81\\');alert(1)//", PageEncoding::kNative,
         "http://x/\xE4\xB9\x97');alert(1)//"},
        {"http://x/\xD6\xD0\\'", PageEncoding::kNative, "http://x/\xE4\xB8\xAD\\'"},
    };
    for (const auto& [link, encoding, value] : cases) {
        PageWriter writer(encoding);
        writer.AppendItem(1, 2, 3, link, PageItemTexts(), false, false);
        std::string page = writer.Finish(1);
        if (encoding == PageEncoding::kNative)
            page = platform::NativeToUtf8(page); // as the browser decodes it
        const std::string href = HrefAsRun(page);
        const std::string script = platform::PercentDecode(href);
        const std::string head = "javascript:go_read('025212A0',2,3,1,'";
        ASSERT_EQ(script.compare(0, head.size(), head), 0) << script;
        // The item action reads the literal the way a script engine does, and nothing
        // follows it but the end of the call.
        ItemCall call = ItemAction::Parse(href);
        EXPECT_EQ(call.action, ItemCall::kRead) << script;
        EXPECT_EQ(call.link, value) << script;
    }
}

} // namespace
