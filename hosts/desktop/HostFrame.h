#pragma once

#include "HostTexts.h"

#include <string>
#include <wx/frame.h>
#include <wx/timer.h>

class HostContainer;
class PluginEntries;
namespace platform {
class ResourceModule;
}

// The stand-in desktop host's window: a menu bar with every host command (and the keys the
// reader takes for them), the area the plug-in builds its reader in (its size forwarded
// through SetSize; the toolbar is the reader's own), and a status bar that follows an update
// of all channels ("Updating 12 of 50") and shows its result.
class HostFrame : public wxFrame {
public:
    HostFrame(HostContainer& container, PluginEntries& plugin,
              const platform::ResourceModule* resources, HostLanguage language);

    // The host's own settings file, <app>TessavinHost.ini: [rss] userchanneldefine (the
    // default channel list) and treewidth (the channel tree's width, kept across runs).
    static std::wstring SettingsPath();

    // Hands the host's settings to the container and starts the reader inside the host area;
    // false when the plug-in made no frame.
    bool StartReader();
    // When the first update of all channels has ended (or none runs), this file is written
    // (for scripts that take screenshots).
    void SetReadyFile(const std::string& path) { readyFile_ = path; }
    // Written once the reader's window (its tree filled) has been shown (for benchmarks).
    void SetStartedFile(const std::string& path) { startedFile_ = path; }
    wxWindow* Area() const { return area_; }

private:
    void BuildMenus();
    // The settings file is made on first use; its values go to the container.
    void LoadSettings();
    // Keeps the tree's width for the next run.
    void SaveSettings();
    // Asks for a file and writes the catalogue there as OPML.
    void ExportChannels();
    void OnCommand(wxCommandEvent& event);
    void OnProgress(wxTimerEvent& event);
    // The check marks follow the reader's state, which its own dialogs change too.
    void OnUpdateChecks(wxUpdateUIEvent& event);
    bool AutoUpdateOn() const;
    bool LoggingOn() const;
    void ApplyLanguage(HostLanguage language);
    void ForwardSize();

    HostContainer& container_;
    PluginEntries& plugin_;
    const platform::ResourceModule* resources_;
    HostLanguage language_;
    wxWindow* area_ = nullptr;
    wxTimer progress_;
    std::string readyFile_;
    std::string startedFile_;
    bool readyWritten_ = false;
    int quietTicks_ = 0;
    bool running_ = false;
    bool toolBarShown_ = true;
    std::wstring storedTreeWidth_;
};
