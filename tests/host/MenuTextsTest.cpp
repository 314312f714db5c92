#include "host/MenuTexts.h"
#include "TempDir.h"

#include <gtest/gtest.h>

TEST(MenuTexts, CountIdsAndTheFirstMatchingMenuOfThePluginsConfiguration) {
    TempDir app;
    UseAppDirectory(app);
    WriteFileBytes(
        app / "Plugins/QuorvelUIPlugin/config.xml",
        "<?xml version=\"1.0\"?><wexadoc><menu name=\"Other\" count=\"1\"><item "
        "resource=\"IDS_X\" id=\"1\"/></menu><menu name=\"TreeViewMenu\" count=\"3\">"
        "<item resource=\"IDS_A\" id=\"11600\"/><item resource=\"IDS_ZERO\" id=\"0\"/>"
        "<item resource=\"IDS_NEG\" id=\"-4\"/><item resource=\"IDS_LATE\" id=\"11603\"/>"
        "</menu><menu name=\"TreeViewMenu\" count=\"1\"><item resource=\"IDS_SECOND\" "
        "id=\"11601\"/></menu></wexadoc>");
    std::vector<MenuTextEntry> entries;
    ASSERT_TRUE(MenuTexts::Read("TreeViewMenu", entries));
    ASSERT_EQ(entries.size(), 1u); // count 3 stops before IDS_LATE; ids 0 and -4 are left out
    EXPECT_EQ(entries[0].id, 11600);
    EXPECT_EQ(entries[0].key, "IDS_A");
    ASSERT_TRUE(MenuTexts::Read("Missing", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(MenuTexts::ReadFrom(app / "none.xml", "TreeViewMenu", entries));
    WriteFileBytes(app / "bad.xml", "<other/>");
    EXPECT_FALSE(MenuTexts::ReadFrom(app / "bad.xml", "TreeViewMenu", entries));
}
