#include "config/Folders.h"

#include "platform/AppFolder.h"
#include "platform/CodePage.h"

#include <cstdlib>
#include <mutex>

const wchar_t* const kPluginName = L"QuorvelUIPlugin";

namespace {

std::mutex appLock;
std::wstring appSet;        // by SetAppDirectory
std::wstring appRemembered; // the executable's folder, once found

} // namespace

void SetAppDirectory(const std::wstring& folder) {
    std::lock_guard<std::mutex> guard(appLock);
    appSet = folder;
    if (!appSet.empty() && appSet.back() != L'/')
        appSet.push_back(L'/');
}

std::wstring GetAppDirectory() {
    std::lock_guard<std::mutex> guard(appLock);
    if (!appSet.empty())
        return appSet;
    // The variable is read at every call: a host sets it before it loads the module.
    const char* overridden = std::getenv("TESSAVIN_APP_DIR");
    if (overridden && *overridden) {
        std::wstring dir = platform::Utf8ToWide(overridden);
        if (dir.back() != L'/')
            dir.push_back(L'/');
        return dir;
    }
    if (appRemembered.empty())
        appRemembered = platform::ExecutableFolder();
    return appRemembered;
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
