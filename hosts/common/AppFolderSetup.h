#pragma once

#include <string>

// Lays out an <app> folder as a host installation has it: the plug-in data under
// <app>Plugins/QuorvelUIPlugin/ (copied from pluginSource) and the settings folder
// <app>rss/RssUserCfg/. Paths are UTF-8; appDir ends with '/'.
bool InstallPluginFiles(const std::string& pluginSource, const std::string& appDir);
