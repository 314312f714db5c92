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

// The stand-in desktop host's window: a menu bar and a toolbar with every host command, the
// area the plug-in builds its reader in (its size forwarded through SetSize), and a status
// bar that follows an update of all channels ("Updating 12 of 50") and shows its result.
class HostFrame : public wxFrame {
public:
    HostFrame(HostContainer& container, PluginEntries& plugin,
              const platform::ResourceModule* resources, HostLanguage language);

    // Starts the reader inside the host area; false when the plug-in made no frame.
    bool StartReader();
    // When the first update of all channels has ended (or none runs), this file is written
    // (for scripts that take screenshots).
    void SetReadyFile(const std::string& path) { readyFile_ = path; }
    // Written once the reader's window (its tree filled) has been shown (for benchmarks).
    void SetStartedFile(const std::string& path) { startedFile_ = path; }
    wxWindow* Area() const { return area_; }

private:
    void BuildMenus();
    void BuildToolBar();
    // Asks for a file and writes the catalogue there as OPML.
    void ExportChannels();
    void OnCommand(wxCommandEvent& event);
    void OnProgress(wxTimerEvent& event);
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
};
