#pragma once

#include "AppFolderSetup.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "config/Config.h"
#include "host/Exports.h"
#include "platform/CodePage.h"
#include "platform/ResourceModule.h"
#include "ui/MainFrame.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <wx/frame.h>

// A host window and an application folder with the plug-in's resources and settings.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        ASSERT_TRUE(InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app.Path()));
        MakeFolders(app / "rss/RssUserCfg");
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
        CConfig().PrepareDataFolders();
        resources =
            platform::ResourceModule::Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/res"));
        platform::ResourceModule::SetActive(resources.get());
        host = new wxFrame(nullptr, wxID_ANY, "host", wxPoint(0, 0), wxSize(800, 600));
        host->Show();
        PumpEvents(50);
    }
    void TearDown() override {
        ExitRSS();
        host->Destroy();
        PumpEvents(20);
        platform::ResourceModule::SetActive(nullptr);
    }
    void Setting(const char* key, const char* value) {
        WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini",
                       std::string("[Common]\r\n") + key + "=" + value + "\r\n");
    }
    CMainFrame* Run(IPluginContainer* with = nullptr) {
        auto* frame = static_cast<CMainFrame*>(RSSRun(host, resources.get(), with));
        PumpEvents(50);
        return frame;
    }

    TempDir app;
    std::unique_ptr<platform::ResourceModule> resources;
    wxFrame* host = nullptr;
};
