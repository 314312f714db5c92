#include "HostContainer.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "host/HostServices.h"
#include "platform/CodePage.h"
#include "platform/DynamicLibrary.h"
#include "platform/ResourceModule.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace {

// The dialog that is open now, if any.
wxDialog* OpenDialog() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
            return dialog;
    return nullptr;
}

} // namespace

TEST(DesktopHost, MessageBoxLibraryAnswersWithThePressedButtonAndTheHostsCaptions) {
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.Load(platform::Utf8ToWide(TESSAVIN_MESSAGEBOX_LIBRARY)));
    auto show = reinterpret_cast<MessageBoxEntry>(library.Symbol("XMessageBox"));
    ASSERT_NE(show, nullptr);
    MessageBoxParams params;
    params.options = MessageBoxParams::kUserDefinedButtons;
    wcscpy(params.captions[0], L"\u786E\u5B9A"); // OK
    wcscpy(params.captions[1], L"\u53D6\u6D88"); // Cancel
    struct Press {
        int button;           // the button to click, by id
        int expected;         // the library's answer
        const wchar_t* label; // its caption
    };
    for (const Press& press :
         {Press{wxID_OK, kIdOk, L"\u786E\u5B9A"}, Press{wxID_CANCEL, kIdCancel, L"\u53D6\u6D88"}}) {
        wxString label;
        wxTimer timer;
        timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            wxDialog* dialog = OpenDialog();
            if (!dialog)
                return;
            timer.Stop();
            auto* button = dynamic_cast<wxButton*>(dialog->FindWindow(press.button));
            ASSERT_NE(button, nullptr);
            label = button->GetLabel();
            wxUIActionSimulator mouse;
            mouse.MouseMove(button->GetScreenRect().GetPosition() + wxPoint(5, 5));
            wxYield();
            mouse.MouseClick();
        });
        timer.Start(100);
        EXPECT_EQ(show(nullptr, L"Delete it?", L"Delete", kMbOkCancelQuestionTopmost, &params),
                  press.expected);
        EXPECT_EQ(label, wxString(press.label));
    }
}

TEST(DesktopHost, ThePluginLoadsAndBuildsItsReaderInAHostWindow) {
    TempDir app;
    UseAppDirectory(app);
    platform::DynamicLibrary plugin;
    ASSERT_TRUE(plugin.Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_LIBRARY)));
    auto run = reinterpret_cast<void* (*)(void*, void*, void*)>(plugin.Symbol("RSSRun"));
    auto exitRss = reinterpret_cast<void (*)()>(plugin.Symbol("ExitRSS"));
    auto progress =
        reinterpret_cast<int (*)(int*, int*, int*)>(plugin.Symbol("RSSGetUpdateProgress"));
    ASSERT_TRUE(run && exitRss && progress);
    auto resources =
        platform::ResourceModule::Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/res"));
    HostContainer container;
    auto* host = new wxFrame(nullptr, wxID_ANY, "host", wxDefaultPosition, wxSize(640, 480));
    host->Show();
    void* frame = run(host, resources.get(), &container);
    ASSERT_NE(frame, nullptr);
    PumpEvents(100);
    // The reader is a child of the host window with the toolbar and the two panes.
    auto* reader = static_cast<wxWindow*>(frame);
    EXPECT_EQ(reader->GetParent(), host);
    EXPECT_GE(reader->GetChildren().GetCount(), 3u);
    int done, total, failed;
    EXPECT_EQ(progress(&done, &total, &failed), 1);
    exitRss();
    EXPECT_EQ(progress(&done, &total, &failed), 0);
    EXPECT_TRUE(host->GetChildren().IsEmpty());
    host->Destroy();
    PumpEvents(20);
}
