#include "catalogue/Archive.h"

#include <gtest/gtest.h>

namespace {
std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}
} // namespace

TEST(Archive, StringLengthPrefixForms) {
    CArchive ar;
    ar.WriteWideString(L"");
    ar.WriteWideString(L"abc");
    ar.WriteNarrowString("");
    EXPECT_EQ(ar.Data(), Bytes({0xFF, 0xFE, 0xFF, 0x00, 0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c',
                                0, 0x00}));

    CArchive longWide;
    longWide.WriteWideString(std::wstring(300, L'x'));
    EXPECT_EQ(longWide.Data().substr(0, 6), Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
    EXPECT_EQ(longWide.Data().size(), 6u + 600u);

    CArchive narrow;
    narrow.WriteNarrowString(std::string(29, 'd'));
    EXPECT_EQ(narrow.Data(), Bytes({0x1D}) + std::string(29, 'd'));

    CArchive edges; // 254 -> one byte; 255 -> FF + 16 bits; 0xFFFE -> FF FFFF + 32 bits
    edges.WriteNarrowString(std::string(254, 'a'));
    edges.WriteNarrowString(std::string(255, 'b'));
    edges.WriteNarrowString(std::string(0xFFFE, 'c'));
    const std::string& d = edges.Data();
    EXPECT_EQ(static_cast<unsigned char>(d[0]), 254u);
    EXPECT_EQ(d.substr(255, 3), Bytes({0xFF, 0xFF, 0x00}));
    EXPECT_EQ(d.substr(255 + 3 + 255, 7), Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));

    CArchive in(d);
    EXPECT_EQ(in.ReadNarrowString(), std::string(254, 'a'));
    EXPECT_EQ(in.ReadNarrowString(), std::string(255, 'b'));
    EXPECT_EQ(in.ReadNarrowString(), std::string(0xFFFE, 'c'));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_THROW(in.ReadU8(), ArchiveError);
}

TEST(Archive, EitherStringKindLoadsIntoEitherFieldThroughTheNativeCodePage) {
    // "中文" stored narrow (GBK bytes) where a wide string is declared, and wide where a
    // narrow one is declared.
    std::string data =
        Bytes({0x04, 0xD6, 0xD0, 0xCE, 0xC4, 0xFF, 0xFE, 0xFF, 0x02, 0x2D, 0x4E, 0x87, 0x65});
    CArchive in(data);
    EXPECT_EQ(in.ReadWideString(), L"\u4E2D\u6587");
    EXPECT_EQ(in.ReadNarrowString(), "\xD6\xD0\xCE\xC4");
    // A 16-bit narrow length after FF, and the FF FFFF 32-bit narrow form.
    std::string forms = Bytes({0xFF, 0x02, 0x00, 'h', 'i', 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 'z'});
    CArchive in2(forms);
    EXPECT_EQ(in2.ReadWideString(), L"hi");
    EXPECT_EQ(in2.ReadNarrowString(), "z");
}

TEST(Archive, ClassTagsCountsAndTheirLargeForms) {
    CArchive ar;
    ar.WriteCount(300);
    ar.WriteObjectTag("CGroup", 1);
    ar.WriteObjectTag("CGroup", 1);
    EXPECT_EQ(ar.Data(), Bytes({0x2C, 0x01, 0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00, 'C', 'G', 'r', 'o',
                                'u', 'p', 0x01, 0x80}));
    CArchive big;
    big.WriteCount(70000);
    EXPECT_EQ(big.Data(), Bytes({0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));

    CArchive in(Bytes({0x01, 0x80}));
    uint16_t schema = 0;
    EXPECT_THROW(in.ReadObjectTag(schema), ArchiveError); // a reference to no class
    CArchive objectRef(Bytes({0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00, 'X', 0x02, 0x00}));
    EXPECT_EQ(objectRef.ReadObjectTag(schema), "X");
    EXPECT_THROW(objectRef.ReadObjectTag(schema), ArchiveError); // 0x0002: an object, not a class
}
