#include "AppFolderSetup.h"
#include "HostContainer.h"
#include "TempDir.h"
#include "platform/DynamicLibrary.h"
#include "platform/ResourceModule.h"

#include <gtest/gtest.h>

TEST(Exports, EntriesDoNothingBeforeRunAndStartupRunsOnce) {
    TempDir app;
    UseAppDirectory(app);
    ASSERT_TRUE(InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app.Path()));
    WriteFileBytes(app / "Plugins/QuorvelUIPlugin/userdefinechannel.opml", "list");
    platform::DynamicLibrary plugin;
    ASSERT_TRUE(plugin.Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_LIBRARY)));
    auto entry = [&plugin](const char* name) {
        void* symbol = plugin.Symbol(name);
        EXPECT_NE(symbol, nullptr) << name;
        return symbol;
    };
    for (const char* name :
         {"ExitRSS", "AddChannel", "Addgroup", "Rename", "Delete", "UpdateChannel", "Updateall",
          "UpdateStop", "SetConfig", "FullView", "SetLanguage", "RSSImportChannels"})
        if (void* fn = entry(name))
            reinterpret_cast<void (*)()>(fn)();
    EXPECT_EQ(plugin.Symbol("SetLanguage"), plugin.Symbol("FullView"));
    // The host's queries answer 0 without a reader.
    for (const char* name : {"RSSGetAutoUpdate", "RSSGetTreeWidth"}) {
        auto fn = reinterpret_cast<int (*)()>(entry(name));
        EXPECT_TRUE(fn && fn() == 0) << name;
    }
    auto counts = reinterpret_cast<int (*)(int*, int*, int*, int*)>(entry("RSSGetUpdateCounts"));
    auto enable = reinterpret_cast<void (*)(int)>(entry("EnableAutoUpdate"));
    auto showToolBar = reinterpret_cast<void (*)(int)>(entry("ShowToolBar"));
    auto setSize = reinterpret_cast<void (*)(unsigned, int, int)>(entry("SetSize"));
    auto setContainer = reinterpret_cast<void (*)(void*)>(entry("SetPluginContainer"));
    auto run = reinterpret_cast<void* (*)(void*, void*, void*)>(entry("RSSRun"));
    ASSERT_TRUE(counts && enable && showToolBar && setSize && setContainer && run);
    int done = 0, total = 0, failed = 0, stopped = 0;
    EXPECT_EQ(counts(&done, &total, &failed, &stopped), 0);
    HostContainer container;
    container.SetHostValue(L"rss", L"userchanneldefine", L"1");
    enable(1);
    showToolBar(0);
    setSize(0, 100, 100);
    setContainer(&container);
    const std::string ini = app / "rss/RssUserCfg/Quorvel.ini";
    EXPECT_FALSE(Exists(ini));
    EXPECT_FALSE(Exists(app / "userdata"));

    auto resources =
        platform::ResourceModule::Load(platform::Utf8ToWide(app / "Plugins/QuorvelUIPlugin/res"));
    // Without a host window only the start-up routine runs.
    EXPECT_EQ(run(nullptr, resources.get(), &container), nullptr);
    EXPECT_TRUE(Exists(app / "userdata/rss/RssUserCfg/userdefinechannel.opml"));
    EXPECT_NE(ReadFileBytes(ini).find("UpdateState=0"), std::string::npos);
    EXPECT_EQ(container.OutstandingServices(), 0);

    // A second run changes nothing but the resource module.
    std::filesystem::remove_all(app / "userdata");
    std::filesystem::remove(ini);
    EXPECT_EQ(run(nullptr, resources.get(), &container), nullptr);
    EXPECT_FALSE(Exists(app / "userdata"));
    EXPECT_FALSE(Exists(ini));
    enable(1); // still no frame: nothing stored
    EXPECT_FALSE(Exists(ini));
}
