#include "platform/CodePage.h"
#include "platform/Format.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(CodePage, NativeIsGb18030AndInvalidInputIsReplacedNotDropped) {
    EXPECT_EQ(NativeToWide("\xD6\xD0\xCE\xC4"), L"\u4E2D\u6587"); // GBK bytes of "中文"
    // The euro sign and an emoji are outside GBK but inside GB18030: no '?' on the way back.
    const std::string utf8 = "\xE2\x82\xAC \xF0\x9F\x98\x80 caf\xC3\xA9";
    EXPECT_EQ(Utf8ToNative(utf8).find('?'), std::string::npos);
    EXPECT_EQ(NativeToUtf8(Utf8ToNative(utf8)), utf8);
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              L"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("x\xE4\xB8"), L"x\uFFFD"); // cut-short sequence at the end
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD");   // over-long form
    EXPECT_EQ(Utf8ToNative("ok\xFFok"), "ok?ok");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "?");
    const std::u16string units = WideToUtf16(L"a\U0001F600b");
    EXPECT_EQ(units, (std::u16string{u'a', 0xD83D, 0xDE00, u'b'}));
    EXPECT_EQ(Utf16ToWide(units), L"a\U0001F600b");
}

TEST(Format, WideFormatsUseTheWindowsMeaningOfPercentS) {
    EXPECT_EQ(FormatW(L"%s(%d/%d)", L"News", 3, 20), L"News(3/20)");
    EXPECT_EQ(FormatW(L"%S|%ls|%hs", "narrow", L"wide", "h"), L"narrow|wide|h");
    EXPECT_EQ(FormatW(L"[%5s][%-3s]", L"ab", L"c"), L"[   ab][c  ]");
    EXPECT_EQ(FormatW(L"100%% %c", L'\u4E2D'), L"100% \u4E2D");
    EXPECT_EQ(FormatW(L"%s!", std::wstring(5000, L'x').c_str()).size(), 5001u);
    EXPECT_EQ(FormatA("%s%d", "rss", 12), "rss12");
}

TEST(CodePage, ConverterCacheStaysBoundedAndKeepsNoUnknownName) {
    std::string out;
    for (int i = 0; i < 2000; ++i)
        EXPECT_FALSE(
            ConvertEncoding("x", ("x-made-up-" + std::to_string(i)).c_str(), "UTF-8", out));
    EXPECT_EQ(CachedConverterCount(), 0u);
    for (int round = 0; round < 3; ++round)
        for (const char* name :
             {"ISO-8859-1",  "ISO-8859-2", "ISO-8859-5", "ISO-8859-7", "ISO-8859-9",
              "ISO-8859-15", "KOI8-R",     "CP1250",     "CP1251",     "CP1252",
              "CP1253",      "BIG5",       "GBK",        "GB2312",     "SHIFT_JIS",
              "EUC-JP",      "EUC-KR",     "ISO-8859-3", "ISO-8859-4", "MACINTOSH"}) {
            ASSERT_TRUE(ConvertEncoding("A", name, "UTF-16LE", out)) << name;
            EXPECT_EQ(out, std::string("A\0", 2)) << name;
        }
    EXPECT_LE(CachedConverterCount(), 16u);
    ASSERT_TRUE(ConvertEncoding("caf\xE9", "ISO-8859-1", "UTF-8", out));
    EXPECT_EQ(out, "caf\xC3\xA9");
}
