#pragma once

// The plug-in's entry points, exported from libTessavin.so under these plain names.
// Flags are 32-bit signed integers where zero means off.

#define TESSAVIN_EXPORT extern "C" __attribute__((visibility("default")))

// parentWindow: the host's wxWindow* to build the reader in (inside the host's running wx
// application); resourceModule: a platform::ResourceModule*; container: the host's
// IPluginContainer* (may be null). Returns the main frame; null when there is no parent
// window (then only the start-up routine runs).
TESSAVIN_EXPORT void* RSSRun(void* parentWindow, void* resourceModule, void* container);
TESSAVIN_EXPORT void ExitRSS();
TESSAVIN_EXPORT void AddChannel();
TESSAVIN_EXPORT void Addgroup();
TESSAVIN_EXPORT void Rename();
TESSAVIN_EXPORT void Delete();
TESSAVIN_EXPORT void UpdateChannel();
TESSAVIN_EXPORT void Updateall();
TESSAVIN_EXPORT void UpdateStop();
TESSAVIN_EXPORT void SetConfig();
TESSAVIN_EXPORT void EnableAutoUpdate(int enable);
TESSAVIN_EXPORT void ShowToolBar(int show);
TESSAVIN_EXPORT void SetSize(unsigned sizeType, int width, int height);
TESSAVIN_EXPORT void SetPluginContainer(void* container);
TESSAVIN_EXPORT void FullView();
// A second name of FullView.
TESSAVIN_EXPORT void SetLanguage();

// Beyond the sixteen: the logging switch a host sends in place of a global hot key, and
// the progress of the last update of all channels (channels finished, channels in it,
// failures); 0 while there is no frame.
TESSAVIN_EXPORT void RSSToggleLogging();
TESSAVIN_EXPORT int RSSGetUpdateProgress(int* done, int* total, int* failed);
// Writes the catalogue as an OPML 2.0 list to the file (replaced whole, or left as it was);
// 1 when written, 0 without a reader or when the file cannot be written.
TESSAVIN_EXPORT int RSSExportChannels(const wchar_t* path);
