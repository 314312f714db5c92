#pragma once

#include <string>

// Lays out an <app> folder as a host installation has it: the plug-in data under
// <app>Plugins/QuorvelUIPlugin/ (copied from pluginSource) and the settings folder
// <app>rss/RssUserCfg/. Paths are UTF-8; appDir ends with '/'.
bool InstallPluginFiles(const std::string& pluginSource, const std::string& appDir);

// The <app> folder of a host executable, ending with '/': TESSAVIN_APP_DIR when the host set
// it (that is how the plug-in it loads learns the folder), else the executable's folder.
std::wstring HostAppFolder();
