#include "platform/CodePage.h"
#include "platform/Format.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(CodePage, NativeIsGb18030AndRoundTripsBeyondGbk) {
    // "中文" in GBK bytes.
    const std::string gbk = "\xD6\xD0\xCE\xC4";
    EXPECT_EQ(NativeToWide(gbk), L"\u4E2D\u6587");
    EXPECT_EQ(WideToNative(L"\u4E2D\u6587"), gbk);
    // The euro sign and an emoji are outside GBK but inside GB18030: no '?' on the way back.
    const std::string utf8 = "\xE2\x82\xAC \xF0\x9F\x98\x80 caf\xC3\xA9";
    std::string native = Utf8ToNative(utf8);
    EXPECT_EQ(native.find('?'), std::string::npos);
    EXPECT_EQ(NativeToUtf8(native), utf8);
}

TEST(CodePage, InvalidInputIsReplacedNotDropped) {
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              L"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("x\xE4\xB8"), L"x\uFFFD"); // cut-short sequence at the end
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD");   // over-long form
    EXPECT_EQ(Utf8ToNative("ok\xFFok"), "ok?ok");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "?");
}

TEST(CodePage, Utf16KeepsSurrogatePairs) {
    std::wstring wide = L"a\U0001F600b";
    std::u16string units = WideToUtf16(wide);
    ASSERT_EQ(units.size(), 4u);
    EXPECT_EQ(units[1], 0xD83D);
    EXPECT_EQ(units[2], 0xDE00);
    EXPECT_EQ(Utf16ToWide(units), wide);
}

TEST(CodePage, ConvertEncodingKnowsLatin1AndRefusesUnknownNames) {
    std::string out;
    ASSERT_TRUE(ConvertEncoding("caf\xE9", "ISO-8859-1", "UTF-8", out));
    EXPECT_EQ(out, "caf\xC3\xA9");
    EXPECT_FALSE(ConvertEncoding("x", "NO-SUCH-ENCODING", "UTF-8", out));
}

TEST(Format, WideFormatsUseTheWindowsMeaningOfPercentS) {
    EXPECT_EQ(FormatW(L"%s(%d/%d)", L"News", 3, 20), L"News(3/20)");
    EXPECT_EQ(FormatW(L"%S|%ls|%hs", "narrow", L"wide", "h"), L"narrow|wide|h");
    EXPECT_EQ(FormatW(L"[%5s][%-3s]", L"ab", L"c"), L"[   ab][c  ]");
    EXPECT_EQ(FormatW(L"%s_%d%s", L"20240315", 0, L".log"), L"20240315_0.log");
    EXPECT_EQ(FormatW(L"100%% %c", L'\u4E2D'), L"100% \u4E2D");
    std::wstring longText(5000, L'x');
    EXPECT_EQ(FormatW(L"%s!", longText.c_str()).size(), 5001u);
    EXPECT_EQ(FormatA("%s%d", "rss", 12), "rss12");
}

TEST(CodePage, ConverterCacheStaysBoundedAndKeepsNoUnknownName) {
    std::string out;
    for (int i = 0; i < 2000; ++i)
        EXPECT_FALSE(
            ConvertEncoding("x", ("x-made-up-" + std::to_string(i)).c_str(), "UTF-8", out));
    EXPECT_EQ(CachedConverterCount(), 0u);
    const char* const kNames[] = {"ISO-8859-1", "ISO-8859-2",  "ISO-8859-5", "ISO-8859-7",
                                  "ISO-8859-9", "ISO-8859-15", "KOI8-R",     "CP1250",
                                  "CP1251",     "CP1252",      "CP1253",     "BIG5",
                                  "GBK",        "GB2312",      "SHIFT_JIS",  "EUC-JP",
                                  "EUC-KR",     "ISO-8859-3",  "ISO-8859-4", "MACINTOSH"};
    for (int round = 0; round < 3; ++round)
        for (const char* name : kNames) {
            ASSERT_TRUE(ConvertEncoding("A", name, "UTF-16LE", out)) << name;
            EXPECT_EQ(out, std::string("A\0", 2)) << name;
        }
    EXPECT_LE(CachedConverterCount(), 16u);
    ASSERT_TRUE(ConvertEncoding("caf\xE9", "ISO-8859-1", "UTF-8", out));
    EXPECT_EQ(out, "caf\xC3\xA9");
}
