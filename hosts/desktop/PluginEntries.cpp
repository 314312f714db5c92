#include "PluginEntries.h"

#include "platform/CodePage.h"

namespace {

template <class Fn>
bool Resolve(platform::DynamicLibrary& library, const char* name, Fn& entry, std::string& error) {
    entry = reinterpret_cast<Fn>(library.Symbol(name));
    if (!entry && error.empty())
        error = std::string("the plug-in has no entry ") + name;
    return entry != nullptr;
}

} // namespace

bool PluginEntries::Load(const std::wstring& path, std::string& error) {
    error.clear();
    library_ = new platform::DynamicLibrary();
    if (!library_->Load(path)) {
        error = "cannot load " + platform::WideToUtf8(path);
        return false;
    }
    platform::DynamicLibrary& l = *library_;
    bool ok = Resolve(l, "RSSRun", RSSRun, error);
    ok &= Resolve(l, "ExitRSS", ExitRSS, error);
    ok &= Resolve(l, "AddChannel", AddChannel, error);
    ok &= Resolve(l, "Addgroup", Addgroup, error);
    ok &= Resolve(l, "Rename", Rename, error);
    ok &= Resolve(l, "Delete", Delete, error);
    ok &= Resolve(l, "UpdateChannel", UpdateChannel, error);
    ok &= Resolve(l, "Updateall", Updateall, error);
    ok &= Resolve(l, "UpdateStop", UpdateStop, error);
    ok &= Resolve(l, "SetConfig", SetConfig, error);
    ok &= Resolve(l, "EnableAutoUpdate", EnableAutoUpdate, error);
    ok &= Resolve(l, "ShowToolBar", ShowToolBar, error);
    ok &= Resolve(l, "SetSize", SetSize, error);
    ok &= Resolve(l, "SetPluginContainer", SetPluginContainer, error);
    ok &= Resolve(l, "FullView", FullView, error);
    ok &= Resolve(l, "SetLanguage", SetLanguage, error);
    ok &= Resolve(l, "RSSToggleLogging", RSSToggleLogging, error);
    ok &= Resolve(l, "RSSGetUpdateProgress", RSSGetUpdateProgress, error);
    ok &= Resolve(l, "RSSExportChannels", RSSExportChannels, error);
    std::string optional; // a missing one leaves its entry null
    Resolve(l, "RSSGetUpdateCounts", RSSGetUpdateCounts, optional);
    Resolve(l, "RSSGetAutoUpdate", RSSGetAutoUpdate, optional);
    Resolve(l, "RSSGetLogging", RSSGetLogging, optional);
    Resolve(l, "RSSImportChannels", RSSImportChannels, optional);
    Resolve(l, "RSSGetTreeWidth", RSSGetTreeWidth, optional);
    Resolve(l, "RSSMarkAllRead", RSSMarkAllRead, optional);
    return ok;
}
