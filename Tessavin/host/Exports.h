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
// The progress of the last update of all channels with the stopped channels apart: channels
// finished, channels in it, failures, stopped channels. Once a stopped update has ended, the
// channels it never started count as finished and stopped (RSSGetUpdateProgress counts them
// as finished too). 0 while there is no frame.
TESSAVIN_EXPORT int RSSGetUpdateCounts(int* done, int* total, int* failed, int* stopped);
// 1 while the reader runs with automatic updating on, else 0.
TESSAVIN_EXPORT int RSSGetAutoUpdate();
// 1 while the diagnostic log is written (every start of the module begins with it off).
TESSAVIN_EXPORT int RSSGetLogging();
// The reader's import command: the import dialog, the list under the selected group.
TESSAVIN_EXPORT void RSSImportChannels();
// The channel tree's width the reader comes back with (the last one dragged, else the one it
// started with); 0 while there is no frame. A host keeps it as [rss] treewidth of its
// settings, which the reader reads through the configuration service when it starts.
TESSAVIN_EXPORT int RSSGetTreeWidth();
// Marks every item read: of the selected channel or group (the whole catalogue when nothing
// is selected), or with `all` of every channel. Says which channels were refused and why.
TESSAVIN_EXPORT void RSSMarkAllRead(int all);
