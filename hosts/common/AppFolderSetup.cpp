#include "AppFolderSetup.h"

#include "platform/AppFolder.h"
#include "platform/CodePage.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

bool InstallPluginFiles(const std::string& pluginSource, const std::string& appDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path app(appDir);
    fs::create_directories(app / "rss" / "RssUserCfg", ec);
    if (ec)
        return false;
    fs::path target = app / "Plugins" / "QuorvelUIPlugin";
    fs::create_directories(target, ec);
    if (ec)
        return false;
    fs::copy(pluginSource, target,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    return !ec;
}

std::wstring HostAppFolder() {
    const char* set = std::getenv("TESSAVIN_APP_DIR");
    if (!set || !*set)
        return platform::ExecutableFolder();
    std::wstring dir = platform::Utf8ToWide(set);
    if (dir.back() != L'/')
        dir.push_back(L'/');
    return dir;
}
