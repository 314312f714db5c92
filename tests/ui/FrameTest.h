#pragma once

#include "AppFolderSetup.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "host/Exports.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/ResourceModule.h"
#include "ui/DesktopNotice.h"
#include "ui/MainFrame.h"
#include "ui/RssChannelView.h"
#include "update/UpdateScheduler.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
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
        auto* reader = static_cast<CMainFrame*>(RSSRun(host, resources.get(), with));
        PumpEvents(50);
        return reader;
    }
    // The catalogue the reader finds at its start: `fill` adds to it.
    void MakeCatalogue(const std::function<void(CatalogueModel&)>& fill) {
        CatalogueModel catalogue(nullptr);
        ASSERT_TRUE(catalogue.Open());
        fill(catalogue);
        catalogue.SaveChannels();
    }
    // Starts the reader, automatic updating off, and waits until no update runs.
    void Start(IPluginContainer* with = nullptr) {
        Setting("UpdateState", "0");
        frame = Run(with);
        ASSERT_NE(frame, nullptr);
        view = frame->ChannelView();
        model = frame->Model();
        ASSERT_TRUE(PumpUntil([this] { return frame->Updates()->RunningJobs() == 0; }, 20000));
    }
    // Message boxes go to the stand-in library, which writes each one it shows to a log and
    // answers `answer` (without one, its default).
    void FakeMessageBoxes(const char* answer = nullptr) {
        ASSERT_TRUE(platform::CopyFile(platform::Utf8ToWide(TESSAVIN_TEST_MESSAGEBOX_LIBRARY),
                                       app.WPath() + L"libXMessageBox.so", false));
        boxLog.emplace("TESSAVIN_FAKE_MESSAGEBOX_LOG", (app / "messagebox.log").c_str());
        boxAnswer.reset();
        if (answer)
            boxAnswer.emplace("TESSAVIN_FAKE_MESSAGEBOX_ANSWER", answer);
    }
    // The message boxes shown since the last call, each "text|caption|flags|...".
    std::string Boxes() {
        const std::string shown = ReadFileBytes(app / "messagebox.log");
        WriteFileBytes(app / "messagebox.log", "");
        return shown;
    }

    TempDir app;
    std::unique_ptr<platform::ResourceModule> resources;
    wxFrame* host = nullptr;
    CMainFrame* frame = nullptr;
    CRssChannelView* view = nullptr;
    CatalogueModel* model = nullptr;
    std::optional<ScopedEnv> boxLog, boxAnswer;
};
