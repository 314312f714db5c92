#include "host/Exports.h"

#include "config/Config.h"
#include "host/HostInterfaces.h"
#include "platform/ResourceModule.h"

class CMainFrame;

namespace {

// The one main frame; null until RSSRun has created it. No frame exists yet in this
// build, so every export but RSSRun does nothing.
CMainFrame* theFrame = nullptr;
const platform::ResourceModule* resourceModule = nullptr;
bool startupDone = false;

} // namespace

void* RSSRun(void* /*parentWindow*/, void* module, void* container) {
    resourceModule = static_cast<const platform::ResourceModule*>(module);
    platform::ResourceModule::SetActive(resourceModule);
    if (theFrame)
        return theFrame;
    if (!startupDone) {
        startupDone = true;
        CConfig config;
        config.container = static_cast<IPluginContainer*>(container);
        // Start-up goes on with the built-in defaults when the settings cannot be written.
        config.Initialize(L"Quorvel.ini");
    }
    return theFrame;
}

void ExitRSS() {
    if (!theFrame)
        return;
}

void AddChannel() {
    if (!theFrame)
        return;
}

void Addgroup() {
    if (!theFrame)
        return;
}

void Rename() {
    if (!theFrame)
        return;
}

void Delete() {
    if (!theFrame)
        return;
}

void UpdateChannel() {
    if (!theFrame)
        return;
}

void Updateall() {
    if (!theFrame)
        return;
}

void UpdateStop() {
    if (!theFrame)
        return;
}

void SetConfig() {
    if (!theFrame)
        return;
}

void EnableAutoUpdate(int enable) {
    if (!theFrame)
        return;
    CConfig config;
    config.WriteUpdateState(enable);
}

void ShowToolBar(int /*show*/) {
    if (!theFrame)
        return;
}

void SetSize(unsigned /*sizeType*/, int /*width*/, int /*height*/) {
    if (!theFrame)
        return;
}

void SetPluginContainer(void* /*container*/) {
    // Ignored before RSSRun has created the frame.
    if (!theFrame)
        return;
}

void FullView() {}

extern "C" void SetLanguage() __attribute__((alias("FullView"), visibility("default")));
