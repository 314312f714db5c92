#include "platform/ResourceModule.h"
#include "TempDir.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using platform::ResourceModule;

TEST(ResourceModule, StringTableEscapesCommentsAndCuts) {
    TempDir dir;
    WriteFileBytes(dir / "res/strings.txt",
                   "# comment\n\n7 a\\r\\n\\tb\\\\c\\'\n8 \xE4\xB8\xAD  two blanks\nx no id\n");
    auto module = ResourceModule::Load(platform::Utf8ToWide(dir / "res"));
    ASSERT_TRUE(module);
    std::wstring text;
    ASSERT_TRUE(module->LoadString(7, text));
    EXPECT_EQ(text, L"a\r\n\tb\\c'");
    ASSERT_TRUE(module->LoadString(8, text, 2));
    EXPECT_EQ(text, L"\u4E2D ");
    EXPECT_FALSE(module->LoadString(0xD800, text));
    EXPECT_FALSE(ResourceModule::Load(dir.WPath() + L"missing"));
    // The log's banner is loaded cut to 199 characters: the shipped one fits.
    module = ResourceModule::Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/res"));
    ASSERT_TRUE(module && module->LoadString(11338, text));
    EXPECT_LE(text.size(), 199u);
}
