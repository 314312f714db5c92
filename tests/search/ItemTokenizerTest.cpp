#include "search/ItemTokenizer.h"
#include "search/IndexText.h"
#include "search/SearchIndex.h"

#include <gtest/gtest.h>

void PrintTo(const ItemTokenizer::Token& t, std::ostream* out) {
    *out << '"' << t.text << "\" " << t.start << '-' << t.end << (t.colocated ? " colocated" : "")
         << (t.cjk ? " cjk" : "");
}

namespace {

using Mode = ItemTokenizer::Mode;
using Token = ItemTokenizer::Token;

// Token with the defaults of a word: not colocated, not CJK.
Token W(const std::string& text, size_t start, size_t end) {
    return Token{text, start, end, false, false};
}
Token C(const std::string& text, size_t start, size_t end, bool colocated = false) {
    return Token{text, start, end, colocated, true};
}

TEST(ItemTokenizer, Tokens) {
    const struct {
        const char* name;
        std::string text;
        Mode mode;
        std::vector<Token> tokens;
    } cases[] = {
        {"words",
         "Hello, World 2026",
         Mode::kDocument,
         {W("hello", 0, 5), W("world", 7, 12), W("2026", 13, 17)}},
        {"run of two", "中文", Mode::kDocument, {C("中文", 0, 6), C("文", 3, 6, true)}},
        {"one char", "中", Mode::kDocument, {C("中", 0, 3)}},
        {"query run",
         "中华人民",
         Mode::kQuery,
         {C("中华", 0, 6), C("华人", 3, 9), C("人民", 6, 12)}},
        {"query char", "中", Mode::kQuery, {C("中", 0, 3)}},
        {"mixed",
         "abc中文def",
         Mode::kDocument,
         {W("abc", 0, 3), C("中文", 3, 9), C("文", 6, 9, true), W("def", 9, 12)}},
        {"punctuation ends a run", "中，文", Mode::kDocument, {C("中", 0, 3), C("文", 6, 9)}},
        {"kana, middle dot", "カナ・ア", Mode::kQuery, {C("カナ", 0, 6), C("ア", 9, 12)}},
        {"hangul", "한국", Mode::kQuery, {C("한국", 0, 6)}},
        {"extension B",
         "\xF0\xA0\x80\x80中",
         Mode::kDocument,
         {C("\xF0\xA0\x80\x80中", 0, 7), C("中", 4, 7, true)}},
        {"compatibility ideograph", "\xEF\xA4\x80", Mode::kQuery, {C("\xEF\xA4\x80", 0, 3)}},
        {"case folding",
         "ÀÉÎ Ĺİ ΣΑΣ λόγος Привет ＡＢ",
         Mode::kQuery,
         {W("àéî", 0, 6), W("ĺi", 7, 11), W("σασ", 12, 18), W("λόγοσ", 19, 29), W("привет", 30, 42),
          W("ab", 43, 49)}},
        {"bad bytes",
         "ab\xFF"
         "cd\xC3",
         Mode::kDocument,
         {W("ab", 0, 2), W("cd", 3, 5)}},
        {"overlong, surrogate",
         "a\xC0\xAF"
         "b\xED\xA0\x80"
         "c",
         Mode::kDocument,
         {W("a", 0, 1), W("b", 3, 4), W("c", 7, 8)}},
        {"cut sequence in a run", "中\xE4\xB8文", Mode::kDocument, {C("中", 0, 3), C("文", 5, 8)}},
        {"nothing", " \t!?…　", Mode::kDocument, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ItemTokenizer::Tokens(c.text, c.mode), c.tokens) << c.name;
}

TEST(IndexText, PlainTextOfShownHtml) {
    const struct {
        std::string html;
        std::string text;
    } cases[] = {
        {"<p>Hello&nbsp;<b>Wor</b>ld</p><script>var x = '<p>hidden';</script>&amp;&#x4E2D;&eacute;",
         "Hello\xC2\xA0World &中é"},
        {"a<br>b<!-- c <p> -->d", "a b d"},
        {"x &unknown; y &lt;tag&gt; &", "x &unknown; y <tag> &"},
        {"<a href=\"x>y\" title='>'>link</a>", "link"},
        {"<STYLE>p{}</style >Text", "Text"},
        {"soft&shy;ware &hellip;", "software …"},
        {"1 < 2 <", "1 < 2 <"},
        {"<p>cut <script>never closed", "cut "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IndexText::FromHtml(c.html), c.text) << c.html;
}

TEST(SearchIndex, MatchExpression) {
    const struct {
        std::string words;
        int64_t channel;
        std::string match;
    } cases[] = {
        {"Hello  world", 0, "{title body} : (\"Hello\" AND \"world\")"},
        {"a\"b OR NEAR(c", 0, "{title body} : (\"a\"\"b\" AND \"OR\" AND \"NEAR(c\")"},
        {"中", 0, "{title body} : (\"中\" *)"},
        {"abc中", 0, "{title body} : (\"abc中\" *)"},
        {"中文　新闻", 7, "{title body} : (\"中文\" AND \"新闻\") AND chan : \"c7\""},
        {"!!! * \"", 0, ""},
        {"", 3, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SearchIndex::MatchExpression(c.words, c.channel), c.match) << c.words;
}

} // namespace
