#include "engine/HtmlSanitizer.h"
#include "engine/ItemText.h"
#include "engine/PageWriter.h"
#include "reader/ItemAction.h"

#include <gtest/gtest.h>
#include <gumbo.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(HtmlSanitizerTest, RemovesWhatCouldRunLoadOrSubmit) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        // Elements that go with their content.
        {"a<script>alert(1)</script>b", "ab"},
        {"a<SCRIPT src=//x/y.js></SCRIPT>b", "ab"},
        {"a<style>p{}</style>b", "ab"},
        {"a<iframe src=http://x/></iframe>b", "ab"},
        {"<object data=x><p>fallback</p></object>ok", "ok"},
        {"x<embed src=a.swf>y", "xy"},
        {"<svg><a xlink:href=\"javascript:x\">t</a></svg>ok", "ok"},
        {"<math><mi>x</mi></math>ok", "ok"},
        {"<meta http-equiv=refresh content=\"0;url=javascript:x\">ok", "ok"},
        {"<link rel=import href=x><base href=http://evil/>ok", "ok"},
        // Parsed as markup here but as raw text by a browser that runs scripts: all of it goes.
        {"<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\"></noscript>ok", ""},
        {"<textarea><img src=x onerror=alert(1)></textarea>ok", "ok"},
        {"a<script>unterminated", "a"},
        // Form elements: the tags go, their ordinary content stays.
        {"<form action=http://x/><b>Name</b><input name=n></form>", "<b>Name</b></form>"},
        {"<button formaction=javascript:x>Go</button>", "Go"},
        // Attributes.
        {"<img src=x onerror=alert(1)>", "<img src=x >"},
        {"<p ONMOUSEOVER='x()' class=c>t</p>", "<p  class=c>t</p>"},
        {"<a href=\"javascript:go_delete(1,2,3)\">t</a>", "<a >t</a>"},
        {"<a href=\"  JaVa&#x09;Script&colon;x\">t</a>", "<a >t</a>"},
        {"<a href=\"java\nscript:x\">t</a>", "<a >t</a>"},
        {"<a href=vbscript:x>t</a><a href=data:text/html,x>u</a>", "<a >t</a><a >u</a>"},
        {"<img src=\"data:image/svg+xml,<svg onload=x>\">", "<img >"},
        {"<img srcset=\"a.png 1x, javascript:x 2x\">", "<img >"},
        {"<video poster=javascript:x></video>", "<video ></video>"},
        {"<table background=javascript:x><tr><td>t</td></tr></table>",
         "<table ><tr><td>t</td></tr></table>"},
        {"<iframe srcdoc=\"<script>x</script>\"></iframe>ok", "ok"},
        // A duplicate attribute name does not hide the attribute after it.
        {"<a x x onclick=1>t</a>", "<a x >t</a>"},
        // A stray body or html tag lends its attributes to the page's own elements.
        {"<body onload=alert(1)>t", "<body >t"},
        {"<html onclick=alert(1)>t", "<html >t"},
        // Removing one construct must not join the text around it into a new one.
        {"<<script></script>script>alert(1)<</script>/script>", "/script>"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(HtmlSanitizer::Sanitize(input), expected) << input;
        EXPECT_EQ(HtmlSanitizer::Sanitize(expected), expected) << "idempotent: " << expected;
    }
}

TEST(HtmlSanitizerTest, TextsWithTooManyTagsLoseTheirMarkupNotTheirText) {
    // Parsing time grows with the square of the nesting depth: past 10,000 tags a text is
    // shown as text.
    std::string deep;
    for (int i = 0; i < 10001; ++i)
        deep += "<div>";
    deep += "<img src=x onerror=alert(1)>end";
    const std::string out = HtmlSanitizer::Sanitize(deep);
    EXPECT_EQ(out.find('<'), std::string::npos);
    const std::string tail = "&lt;img src=x onerror=alert(1)>end";
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    EXPECT_EQ(HtmlSanitizer::Sanitize(out), out);
}

TEST(HtmlSanitizerTest, OrdinaryTextPassesByteForByte) {
    const std::vector<std::string> ordinary = {
        "",
        "Plain title with & and 'quotes' and \"double\" > signs",
        "<p>Hello <b>world</b>, <i>i</i> <a href=\"http://example.com/a?b=1&amp;c=2\">link</a></p>",
        "<img src=\"https://x/y.png\" width=10 alt='a'><br/><hr>",
        "<a href=\"/relative/path\">r</a><a href=\"#frag\">f</a><a href=\"mailto:a@b.c\">m</a>",
        "<a href=\"page.html?x=a:b\">a query with a colon</a>",
        "<img src=\"data:image/png;base64,iVBORw0KGgo=\">",
        "<table><tr><td>1</td><td>2</td></tr></table><ul><li>a</li></ul>",
        "<font color=red>red</font ><span style=\"color:blue\">blue</span>",
        "\xC4\xE3\xBA\xC3<b>\xCA\xC0\xBD\xE7</b>", // native (GB2312) bytes
        "\xE4\xBD\xA0\xE5\xA5\xBD <em>UTF-8</em>",
        "<!-- a comment --> text",
        "unclosed <b>bold",
    };
    for (const std::string& text : ordinary)
        EXPECT_EQ(HtmlSanitizer::Sanitize(text), text) << text;
}

TEST(HtmlSanitizerTest, PageMarkersInFeedTextSurviveReadBack) {
    PageItemTexts texts;
    texts.title = "<font color=red>Red</font> title";
    texts.description = "<DIV class=gn_storyfooter id=1>x</DIV><SPAN class=sep>|</SPAN>end";
    texts.author = "Ann <SPAN class=sep>&</SPAN> Bob";
    texts.date = "2024</SPAN>";
    PageWriter writer(PageEncoding::kUtf8);
    writer.AppendItem(1, 0, 1, "http://a/1", texts, false, false);
    // A second item whose title holds the first item's read-icon marker.
    PageItemTexts second;
    second.title = "<IMG class=icon id=1_read src=\"HtmlStyle/unread.gif\">";
    writer.AppendItem(2, 0, 1, "http://a/2", second, false, false);
    const std::string page = writer.Finish(2);
    auto back = PageWriter::ReadBack(page);
    ASSERT_EQ(back.size(), 2u);
    // What comes back is what was written, and writing it again changes nothing.
    for (int round = 0; round < 3; ++round) {
        PageWriter again(PageEncoding::kUtf8);
        again.AppendItem(1, 0, 1, "http://a/1", back[1], false, false);
        again.AppendItem(2, 0, 1, "http://a/2", back[2], false, false);
        const std::string rewritten = again.Finish(2);
        EXPECT_EQ(rewritten, page);
        back = PageWriter::ReadBack(rewritten);
    }
    EXPECT_EQ(back[1].title, "<font color=red>Red</font > title");
    EXPECT_EQ(back[1].author, "Ann <SPAN  class=sep>&</SPAN > Bob");
    EXPECT_EQ(back[1].date, "2024</SPAN >");
    EXPECT_NE(back[1].description.find("end"), std::string::npos);
    // The marker of item 1 occurs once in the page: in item 1.
    const std::string marker = "<IMG class=icon id=1_read src=\"HtmlStyle/";
    EXPECT_EQ(page.find(marker), page.rfind(marker));
    EXPECT_LT(page.find(marker), page.find("<DIV class = gn_stories id=2_contentdiv>"));
}

// The value of the first <a>'s href as the browser reads it, then percent-decoded.
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

std::string PercentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && isxdigit(s[i + 1]) && isxdigit(s[i + 2])) {
            out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

TEST(HtmlSanitizerTest, TitleLinkIsOneStringLiteralAfterTheBrowsersDecoding) {
    const std::vector<std::string> links = {
        "http://x/%27);f(%27", "http://x/a'b\\c\"d<e>f g",    "http://x/?q=100%&r=%41",
        "http://x/\x01\x7F",   "http://x/&#39;);alert(1);//",
    };
    for (const std::string& link : links) {
        PageWriter writer(PageEncoding::kUtf8);
        writer.AppendItem(1, 2, 3, link, PageItemTexts(), false, false);
        const std::string page = writer.Finish(1);
        const std::string href = HrefAsRun(page);
        const std::string script = PercentDecoded(href);
        const std::string head = "javascript:go_read('025212A0',2,3,1,'";
        ASSERT_EQ(script.compare(0, head.size(), head), 0) << script;
        // Read the literal the way a script engine does.
        std::string value;
        size_t i = head.size();
        for (; i < script.size() && script[i] != '\''; ++i) {
            ASSERT_NE(script[i], '\n');
            if (script[i] != '\\') {
                value.push_back(script[i]);
            } else if (script[i + 1] == 'x') {
                value.push_back(static_cast<char>(std::stoi(script.substr(i + 2, 2), nullptr, 16)));
                i += 3;
            } else {
                value.push_back(script[++i]);
            }
        }
        EXPECT_EQ(script.substr(i), "')") << link;
        // An entity in the link is what an attribute holding it gives: "&#39;" is a quote.
        const std::string expected = link == links.back() ? "http://x/');alert(1);//" : link;
        EXPECT_EQ(value, expected);
        // The item action reads the same link from the address.
        ItemCall call = ItemAction::Parse(href);
        EXPECT_EQ(call.action, ItemCall::kRead);
        EXPECT_EQ(call.link, expected);
    }
}

} // namespace
