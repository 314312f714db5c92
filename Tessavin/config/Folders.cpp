#include "config/Folders.h"

#include "platform/AppFolder.h"

#include <cstdlib>
#include <mutex>

const wchar_t* const kPluginName = L"QuorvelUIPlugin";

std::wstring GetAppDirectory() {
    // An explicit TESSAVIN_APP_DIR is read at every call (hosts and tests set it before
    // starting the module); the executable's own folder is kept once it has been found.
    const char* overridden = std::getenv("TESSAVIN_APP_DIR");
    if (overridden && *overridden)
        return platform::ExecutableFolder();
    static std::mutex lock;
    static std::wstring remembered;
    std::lock_guard<std::mutex> guard(lock);
    if (remembered.empty())
        remembered = platform::ExecutableFolder();
    return remembered;
}

std::wstring GetPluginDirectory(const std::wstring& pluginName) {
    std::wstring app = GetAppDirectory();
    if (app.empty())
        return app;
    std::wstring result = app + L"Plugins/";
    if (!pluginName.empty())
        result += pluginName + L"/";
    return result;
}

std::wstring RecordsFolder() {
    return GetAppDirectory() + L"userdata/rss/ReadRecord";
}
std::wstring DataFolder() {
    return RecordsFolder() + L"/Data";
}
std::wstring CatalogueFolder() {
    return RecordsFolder() + L"/Common";
}
std::wstring DefaultChannelListPath() {
    return GetAppDirectory() + L"userdata/rss/RssUserCfg/userdefinechannel.opml";
}
