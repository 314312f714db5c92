#include "host/Exports.h"

#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "config/LogFile.h"
#include "host/HostInterfaces.h"
#include "host/HostServices.h"
#include "opml/OpmlExport.h"
#include "platform/FileSystem.h"
#include "platform/ResourceModule.h"
#include "ui/MainFrame.h"
#include "ui/RssChannelView.h"
#include "ui/RssSplitterWnd.h"

#include <wx/app.h>

namespace {

// The one main frame: null until RSSRun has created it, and again once it is destroyed
// (a later RSSRun then creates a new one).
CMainFrame* theFrame = nullptr;
const platform::ResourceModule* resourceModule = nullptr;
// The start-up routine runs once for a frame: again only after that frame is gone.
bool startupDone = false;

// The counts of both progress exports (an export calls no other: a host may define the same
// names).
int UpdateCounts(int* done, int* total, int* failed, int* stopped) {
    if (!theFrame || !theFrame->ChannelView() || !done || !total || !failed || !stopped)
        return 0;
    theFrame->ChannelView()->Progress(*done, *total, *failed, *stopped);
    return 1;
}

} // namespace

void* RSSRun(void* parentWindow, void* module, void* container) {
    resourceModule = static_cast<const platform::ResourceModule*>(module);
    platform::ResourceModule::SetActive(resourceModule);
    if (theFrame)
        return theFrame;
    auto* host = static_cast<IPluginContainer*>(container);
    if (!startupDone) {
        startupDone = true;
        CConfig config;
        config.copyUserChannelList = HostWantsUserChannelList(host);
        // Start-up goes on with the built-in defaults when the settings cannot be written.
        config.Initialize(L"Quorvel.ini");
    }
    // Without a host window (or outside a running wx application) there is nothing to
    // build the frame in: the start-up routine is all.
    auto* parent = static_cast<wxWindow*>(parentWindow);
    if (!parent || !wxTheApp)
        return nullptr;
    theFrame = new CMainFrame(parent, host);
    theFrame->onDestroyed = [] {
        theFrame = nullptr;
        startupDone = false;
    };
    theFrame->Update();
    return theFrame;
}

void ExitRSS() {
    if (!theFrame)
        return;
    // A child window is destroyed at once: the windows, then the workers (joined), then
    // the catalogue. theFrame is cleared on the way.
    theFrame->Destroy();
}

void AddChannel() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kAddChannel);
}

void Addgroup() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kAddGroup);
}

void Rename() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kRename);
}

void Delete() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kDelete);
}

void UpdateChannel() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kUpdateSelected);
}

void Updateall() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kUpdateAll);
}

void UpdateStop() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kStopAll);
}

void SetConfig() {
    if (theFrame)
        theFrame->RunCommand(CMainFrame::Command::kOptions);
}

void EnableAutoUpdate(int enable) {
    if (!theFrame)
        return;
    if (theFrame->ChannelView())
        theFrame->ChannelView()->SetAutoUpdate(enable != 0);
    CConfig config;
    config.WriteUpdateState(enable);
}

void ShowToolBar(int show) {
    if (theFrame)
        theFrame->ShowToolBar(show != 0);
}

void SetSize(unsigned sizeType, int width, int height) {
    if (theFrame)
        theFrame->OnSize(sizeType, width, height);
}

void SetPluginContainer(void* container) {
    // Ignored before RSSRun has created the frame.
    if (theFrame)
        theFrame->SetContainer(static_cast<IPluginContainer*>(container));
}

void FullView() {}

// The same entry point under a second name (an alias has no attributes of its own to add).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-attributes"
extern "C" void SetLanguage() __attribute__((alias("FullView"), visibility("default")));
#pragma GCC diagnostic pop

void RSSToggleLogging() {
    if (theFrame)
        theFrame->ToggleLogging();
}

int RSSGetUpdateProgress(int* done, int* total, int* failed) {
    int stopped = 0;
    return UpdateCounts(done, total, failed, &stopped);
}

int RSSGetUpdateCounts(int* done, int* total, int* failed, int* stopped) {
    return UpdateCounts(done, total, failed, stopped);
}

int RSSGetAutoUpdate() {
    return theFrame && theFrame->ChannelView() && theFrame->ChannelView()->AutoUpdate() ? 1 : 0;
}

int RSSGetLogging() {
    return loggingOn.load() != 0 ? 1 : 0;
}

void RSSImportChannels() {
    if (theFrame && theFrame->ChannelView())
        theFrame->ChannelView()->ImportCommand();
}

void RSSMarkAllRead(int all) {
    if (theFrame)
        theFrame->RunCommand(all ? CMainFrame::Command::kMarkAllRead
                                 : CMainFrame::Command::kMarkRead);
}

int RSSGetTreeWidth() {
    return theFrame && theFrame->Splitter() ? theFrame->Splitter()->SavedLeftWidth() : 0;
}

int RSSExportChannels(const wchar_t* path) {
    if (!theFrame || !theFrame->Model() || !path || !*path)
        return 0;
    const std::string document = OpmlExport::Write(theFrame->Model()->TopLevel());
    if (!platform::ReplaceFileContent(path, document)) {
        LogPrintf(L"Failed to export the channels to %s", path);
        return 0;
    }
    return 1;
}
