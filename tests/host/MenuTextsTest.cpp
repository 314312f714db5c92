#include "host/MenuTexts.h"
#include "TempDir.h"

#include <gtest/gtest.h>

TEST(MenuTexts, CountIdsAndTheFirstMatchingMenu) {
    TempDir dir;
    WriteFileBytes(
        dir / "config.xml",
        "<?xml version=\"1.0\"?><wexadoc><menu name=\"Other\" count=\"1\"><item "
        "resource=\"IDS_X\" id=\"1\"/></menu><menu name=\"TreeViewMenu\" count=\"3\">"
        "<item resource=\"IDS_A\" id=\"11600\"/><item resource=\"IDS_ZERO\" id=\"0\"/>"
        "<item resource=\"IDS_NEG\" id=\"-4\"/><item resource=\"IDS_LATE\" id=\"11603\"/>"
        "</menu><menu name=\"TreeViewMenu\" count=\"1\"><item resource=\"IDS_SECOND\" "
        "id=\"11601\"/></menu></wexadoc>");
    std::vector<MenuTextEntry> entries;
    ASSERT_TRUE(MenuTexts::ReadFrom(dir / "config.xml", "TreeViewMenu", entries));
    ASSERT_EQ(entries.size(), 1u); // count 3 stops before IDS_LATE; ids 0 and -4 are left out
    EXPECT_EQ(entries[0].id, 11600);
    EXPECT_EQ(entries[0].key, "IDS_A");
    ASSERT_TRUE(MenuTexts::ReadFrom(dir / "config.xml", "Missing", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(MenuTexts::ReadFrom(dir / "none.xml", "TreeViewMenu", entries));
    WriteFileBytes(dir / "bad.xml", "<other/>");
    EXPECT_FALSE(MenuTexts::ReadFrom(dir / "bad.xml", "TreeViewMenu", entries));
}

TEST(MenuTexts, ShippedConfigurationFromThePluginFolder) {
    TempDir app;
    UseAppDirectory(app);
    WriteFileBytes(app / "Plugins/QuorvelUIPlugin/config.xml",
                   ReadFileBytes(TESSAVIN_PLUGIN_SOURCE_DIR "/config.xml"));
    std::vector<MenuTextEntry> tree, tabs;
    ASSERT_TRUE(MenuTexts::Read("TreeViewMenu", tree));
    ASSERT_TRUE(MenuTexts::Read("TabIEMenu", tabs));
    ASSERT_EQ(tree.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(tree[static_cast<size_t>(i)].id, 11600 + i);
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[1].id, 11611);
    EXPECT_EQ(tabs[0].key.rfind("IDS_", 0), 0u);
}
