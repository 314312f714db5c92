#include "platform/ResourceModule.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using platform::ResourceModule;

TEST(ResourceModule, ShippedStringTableHoldsTheLogBanner) {
    auto module = ResourceModule::Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/res"));
    ASSERT_TRUE(module);
    std::wstring a, b;
    ASSERT_TRUE(module->LoadString(11338, a));
    ASSERT_TRUE(module->LoadString(11339, b));
    // Two line ends, a rule with a notice, then version and name lines.
    const std::wstring rule(12, L'=');
    ASSERT_EQ(a.rfind(L"\r\n\r\n" + rule + L"  ", 0), 0u);
    size_t afterNotice = a.find(L"  " + rule + L"\r\n", 4 + 12 + 2);
    ASSERT_NE(afterNotice, std::wstring::npos);
    EXPECT_EQ(a.substr(afterNotice + 2 + 12), L"\r\n\t\tVersion:1.0\r\n\t\tName:QUORVEL\t\t");
    EXPECT_LE(a.size(), 199u);
    EXPECT_EQ(b, std::wstring(75, L'=') + L"\r\n");
    std::wstring none;
    EXPECT_FALSE(module->LoadString(0xD800, none));
    EXPECT_FALSE(ResourceModule::Load(L"/nonexistent-folder"));
}
