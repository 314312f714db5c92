#pragma once

#include "platform/DynamicLibrary.h"

#include <string>

// The plug-in library as a desktop host loads it, with its exports. The library stays
// loaded for the life of the process: the windows it made share the host's wx library.
class PluginEntries {
public:
    // False (with the reason) when the library or one of its required exports is missing.
    bool Load(const std::wstring& path, std::string& error);

    void* (*RSSRun)(void*, void*, void*) = nullptr;
    void (*ExitRSS)() = nullptr;
    void (*AddChannel)() = nullptr;
    void (*Addgroup)() = nullptr;
    void (*Rename)() = nullptr;
    void (*Delete)() = nullptr;
    void (*UpdateChannel)() = nullptr;
    void (*Updateall)() = nullptr;
    void (*UpdateStop)() = nullptr;
    void (*SetConfig)() = nullptr;
    void (*EnableAutoUpdate)(int) = nullptr;
    void (*ShowToolBar)(int) = nullptr;
    void (*SetSize)(unsigned, int, int) = nullptr;
    void (*SetPluginContainer)(void*) = nullptr;
    void (*FullView)() = nullptr;
    void (*SetLanguage)() = nullptr;
    void (*RSSToggleLogging)() = nullptr;
    int (*RSSExportChannels)(const wchar_t*) = nullptr;
    int (*RSSGetUpdateProgress)(int*, int*, int*) = nullptr;
    // Entries a plug-in of an earlier build lacks: null then.
    int (*RSSGetUpdateCounts)(int*, int*, int*, int*) = nullptr;
    int (*RSSGetAutoUpdate)() = nullptr;
    int (*RSSGetLogging)() = nullptr;
    void (*RSSImportChannels)() = nullptr;
    int (*RSSGetTreeWidth)() = nullptr;
    void (*RSSMarkAllRead)(int) = nullptr;

private:
    platform::DynamicLibrary* library_ = nullptr; // never unloaded
};
