// Loads the plug-in library the way a desktop host does and runs its start-up on a
// fresh application folder, then prints where the data tree went.
//
//   tessavin-startup [APP_DIR]     (default: a new folder under /tmp)

#include "AppFolderSetup.h"
#include "HostContainer.h"
#include "platform/CodePage.h"
#include "platform/DynamicLibrary.h"
#include "platform/ResourceModule.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void PrintTree(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string rel = fs::relative(it->path(), root, ec).string();
        std::printf("  %s%s\n", rel.c_str(), it->is_directory() ? "/" : "");
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string app;
    if (argc > 1) {
        app = argv[1];
    } else {
        char pattern[] = "/tmp/tessavin-app.XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 1;
        }
        app = pattern;
    }
    if (app.back() != '/')
        app.push_back('/');
    if (!InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app)) {
        std::fprintf(stderr, "cannot lay out the application folder %s\n", app.c_str());
        return 1;
    }
    setenv("TESSAVIN_APP_DIR", app.c_str(), 1);

    platform::DynamicLibrary plugin;
    if (!plugin.Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_LIBRARY))) {
        std::fprintf(stderr, "cannot load %s\n", TESSAVIN_PLUGIN_LIBRARY);
        return 1;
    }
    using RunEntry = void* (*)(void*, void*, void*);
    auto run = reinterpret_cast<RunEntry>(plugin.Symbol("RSSRun"));
    if (!run) {
        std::fprintf(stderr, "the plug-in has no RSSRun\n");
        return 1;
    }
    auto resources =
        platform::ResourceModule::Load(platform::Utf8ToWide(app + "Plugins/QuorvelUIPlugin/res"));
    HostContainer container;
    container.SetHostValue(L"rss", L"userchanneldefine", L"1");
    run(nullptr, resources.get(), &container); // no desktop window: the start-up only

    std::printf("application folder: %s\n", app.c_str());
    std::printf("data tree: %suserdata/rss\n", app.c_str());
    PrintTree(app + "userdata");
    std::printf("settings: %srss/RssUserCfg/Quorvel.ini\n", app.c_str());
    return 0;
}
