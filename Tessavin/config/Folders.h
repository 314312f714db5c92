#pragma once

#include <string>

// The host executable's folder with a trailing '/' (written <app> in the docs); the first
// non-empty result is kept for the life of the process. Empty when it cannot be read.
// A folder set by SetAppDirectory, else a non-empty TESSAVIN_APP_DIR (how a host
// executable tells a plug-in it loads), replaces it.
std::wstring GetAppDirectory();
// The application folder of this process from now on (a '/' is appended when missing);
// empty goes back to the executable's folder.
void SetAppDirectory(const std::wstring& folder);
// <app>Plugins/ and, for a non-empty name, name + '/'; empty when <app> is.
std::wstring GetPluginDirectory(const std::wstring& pluginName = std::wstring());

extern const wchar_t* const kPluginName; // "QuorvelUIPlugin"

// Folders under <app> used across the module.
std::wstring RecordsFolder();          // <app>userdata/rss/ReadRecord
std::wstring DataFolder();             // <app>userdata/rss/ReadRecord/Data
std::wstring CatalogueFolder();        // <app>userdata/rss/ReadRecord/Common
std::wstring DefaultChannelListPath(); // <app>userdata/rss/RssUserCfg/userdefinechannel.opml
