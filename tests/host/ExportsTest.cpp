#include "AppFolderSetup.h"
#include "HostContainer.h"
#include "TempDir.h"
#include "platform/CodePage.h"
#include "platform/DynamicLibrary.h"
#include "platform/ResourceModule.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

template <class Fn> Fn Entry(const platform::DynamicLibrary& lib, const char* name) {
    return reinterpret_cast<Fn>(lib.Symbol(name));
}

} // namespace

TEST(Exports, SixteenEntriesDoNothingBeforeRunAndStartupRunsOnce) {
    TempDir app;
    UseAppDirectory(app);
    ASSERT_TRUE(InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app.Path()));
    WriteFileBytes(app / "Plugins/QuorvelUIPlugin/userdefinechannel.opml", "list");
    platform::DynamicLibrary plugin;
    ASSERT_TRUE(plugin.Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_LIBRARY)));

    using Void = void (*)();
    for (const char* name :
         {"ExitRSS", "AddChannel", "Addgroup", "Rename", "Delete", "UpdateChannel", "Updateall",
          "UpdateStop", "SetConfig", "FullView", "SetLanguage", "RSSImportChannels"}) {
        auto fn = Entry<Void>(plugin, name);
        ASSERT_NE(fn, nullptr) << name;
        fn();
    }
    EXPECT_EQ(plugin.Symbol("SetLanguage"), plugin.Symbol("FullView"));
    // The host's queries beyond the sixteen answer 0 without a reader.
    for (const char* name : {"RSSGetAutoUpdate", "RSSGetTreeWidth"}) {
        auto fn = Entry<int (*)()>(plugin, name);
        ASSERT_NE(fn, nullptr) << name;
        EXPECT_EQ(fn(), 0) << name;
    }
    auto counts = Entry<int (*)(int*, int*, int*, int*)>(plugin, "RSSGetUpdateCounts");
    ASSERT_NE(counts, nullptr);
    int done = 0, total = 0, failed = 0, stopped = 0;
    EXPECT_EQ(counts(&done, &total, &failed, &stopped), 0);
    auto enable = Entry<void (*)(int)>(plugin, "EnableAutoUpdate");
    auto showToolBar = Entry<void (*)(int)>(plugin, "ShowToolBar");
    auto setSize = Entry<void (*)(unsigned, int, int)>(plugin, "SetSize");
    auto setContainer = Entry<void (*)(void*)>(plugin, "SetPluginContainer");
    auto run = Entry<void* (*)(void*, void*, void*)>(plugin, "RSSRun");
    ASSERT_TRUE(enable && showToolBar && setSize && setContainer && run);
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
    EXPECT_TRUE(Exists(app / "userdata/rss/ReadRecord/Data/HtmlStyle"));
    EXPECT_TRUE(Exists(app / "userdata/rss/RssUserCfg/userdefinechannel.opml"));
    std::string settings = ReadFileBytes(ini);
    EXPECT_NE(settings.find("UpdateState=0"), std::string::npos);
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
