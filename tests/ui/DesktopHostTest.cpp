#include "HostFrame.h"
#include "PluginEntries.h"

#include "../engine/FeedFixtures.h"
#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "TestHttpServer.h"
#include "host/HostServices.h"
#include "platform/DynamicLibrary.h"
#include "ui/IEFrame.h"
#include "ui/RssDialog.h"
#include "ui/RssSplitterWnd.h"

#include <clocale>
#include <httplib.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/timer.h>
#include <wx/toolbar.h>

namespace {

// Runs `answer` on the next modal dialog once it is open (while the caller waits in it).
class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(wxDialog*)> answer) : answer_(std::move(answer)) {
        timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            for (wxWindow* window : wxTopLevelWindows)
                if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) {
                    timer_.Stop();
                    answer_(dialog);
                    return;
                }
        });
        timer_.Start(100);
    }

private:
    std::function<void(wxDialog*)> answer_;
    wxTimer timer_;
};

void Click(wxWindow* window) {
    ClickAt(window->GetScreenRect().GetPosition() + wxPoint(6, 6));
}

// The plug-in library as tessavin-host loads it, once for the process.
PluginEntries& Plugin() {
    static PluginEntries plugin;
    static const bool loaded = [] {
        std::string error;
        return plugin.Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_LIBRARY), error);
    }();
    EXPECT_TRUE(loaded);
    return plugin;
}

// tessavin-host on an application folder: its window with the reader started inside.
class HostSession {
public:
    explicit HostSession(const TempDir& app, HostLanguage language = HostLanguage::kEnglish) {
        UseAppDirectory(app);
        EXPECT_TRUE(InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app.Path()));
        resources_ =
            platform::ResourceModule::Load(platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/res"));
        AddHostTexts(container_, language);
        frame = new HostFrame(container_, Plugin(), resources_.get(), language);
        frame->Show();
        PumpEvents(50);
        EXPECT_TRUE(frame->StartReader());
        PumpEvents(150);
        reader = static_cast<CMainFrame*>(frame->Area()->GetChildren().GetFirst()->GetData());
    }
    ~HostSession() {
        frame->Close(true);
        PumpEvents(50);
    }
    // The host's menu item by menu title and item text as read (without mnemonic and keys),
    // the Language submenu's items too.
    wxMenuItem* Item(const char* menu, const char* text) const {
        wxMenuBar* bar = frame->GetMenuBar();
        for (size_t i = 0; i < bar->GetMenuCount(); ++i)
            if (Plain(bar->GetMenuLabel(i)) == wxString::FromUTF8(menu))
                return Find(bar->GetMenu(i), wxString::FromUTF8(text));
        return nullptr;
    }
    // The host's command behind a menu item, as choosing it sends it.
    void Choose(wxMenuItem* item) {
        ASSERT_NE(item, nullptr);
        wxCommandEvent event(wxEVT_MENU, item->GetId());
        if (item->IsCheckable()) {
            item->Check(!item->IsChecked() || item->GetKind() == wxITEM_RADIO);
            event.SetInt(item->IsChecked() ? 1 : 0);
        }
        event.SetEventObject(frame);
        frame->ProcessWindowEvent(event);
    }
    wxString Status() const { return frame->GetStatusBar()->GetStatusText(); }
    int TreeWidth() const { return reader->ChannelView()->GetSize().GetWidth(); }

    HostFrame* frame = nullptr;
    CMainFrame* reader = nullptr;

private:
    static wxString Plain(const wxString& label) {
        wxString text = label.BeforeFirst('\t');
        for (size_t at; (at = text.find("(&")) != wxString::npos && at + 3 < text.size();)
            text.erase(at, 4); // "(&X)"
        text.Replace("&", "");
        return text;
    }
    static wxMenuItem* Find(wxMenu* menu, const wxString& text) {
        for (wxMenuItem* item : menu->GetMenuItems()) {
            if (item->IsSubMenu())
                if (wxMenuItem* inner = Find(item->GetSubMenu(), text))
                    return inner;
            if (Plain(item->GetItemLabel()) == text)
                return item;
        }
        return nullptr;
    }

    HostContainer container_;
    std::unique_ptr<platform::ResourceModule> resources_;
};

// A catalogue of channels for the reader to find at its start (settings as the reader
// writes them, plus `settings`).
void MakeCatalogue(const TempDir& app, const std::vector<std::string>& addresses,
                   const std::string& settings = "") {
    UseAppDirectory(app);
    ASSERT_TRUE(InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app.Path()));
    settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
    if (!settings.empty())
        WriteFileBytes(app / "rss/RssUserCfg/Quorvel.ini", "[Common]\r\n" + settings);
    CConfig().PrepareDataFolders();
    CatalogueModel model(nullptr);
    ASSERT_TRUE(model.Open());
    int n = 0;
    for (const std::string& address : addresses)
        model.AddChannel(nullptr, L"c" + std::to_wstring(++n), L"", platform::Utf8ToWide(address));
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
    for (auto [button, expected] :
         {std::pair<int, int>{wxID_OK, kIdOk}, {wxID_CANCEL, kIdCancel}}) {
        wxString label;
        DialogAnswer answer([&, button = button](wxDialog* dialog) {
            auto* pressed = dynamic_cast<wxButton*>(dialog->FindWindow(button));
            ASSERT_NE(pressed, nullptr);
            label = pressed->GetLabel();
            Click(pressed);
        });
        EXPECT_EQ(show(nullptr, L"Delete it?", L"Delete", kMbOkCancelQuestionTopmost, &params),
                  expected);
        EXPECT_EQ(label, wxString(params.captions[button == wxID_OK ? 0 : 1]));
    }
}

TEST(DesktopHost, OneToolbarMenusWithTheReadersKeysImportAndChineseTexts) {
    TempDir app;
    // A host started under the C locale (as under Xvfb) with Chinese texts.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    {
        HostSession zh(app, HostLanguage::kChinese);
        wxString language;
        for (wxMenuItem* item : zh.frame->GetMenuBar()->GetMenu(1)->GetMenuItems())
            if (item->IsSubMenu())
                language = item->GetItemLabelText();
        EXPECT_EQ(language, wxString::FromUTF8("语言"));
        EXPECT_NE(zh.Item("频道", "导入频道..."), nullptr);
        EXPECT_NE(zh.Item("频道", "退出"), nullptr);
    }
    std::setlocale(LC_ALL, locale.c_str());

    HostSession host(app);
    // One toolbar: the reader's, on top of the host's area (the others are the reader's).
    std::vector<wxWindow*> windows{host.frame};
    int hostToolbars = 0;
    while (!windows.empty()) {
        wxWindow* window = windows.back();
        windows.pop_back();
        if (window == host.reader)
            continue;
        hostToolbars += dynamic_cast<wxToolBar*>(window) != nullptr;
        for (wxWindow* child : window->GetChildren())
            windows.push_back(child);
    }
    EXPECT_EQ(hostToolbars, 0);
    EXPECT_EQ(host.frame->GetToolBar(), nullptr);
    EXPECT_EQ(host.frame->Area()->GetPosition().y, 0);
    EXPECT_EQ(host.reader->ToolBar()->GetPosition(), wxPoint(0, 0));

    // Each menu item shows the key the reader takes for its command; with the focus in the
    // tree the key runs that command once (the reader's, not the menu's as well).
    using C = CMainFrame::Command;
    std::vector<C> seen;
    host.reader->commandObserver = [&seen](C c) { seen.push_back(c); };
    host.reader->ChannelView()->showDialog = [](CRssDialog&) {
        return static_cast<int>(wxID_CANCEL);
    };
    const struct {
        const char* menu;
        const char* item;
        int flags;
        int key;
        C command;
    } hints[] = {{"Channels", "Add channel...", wxACCEL_CTRL, 'N', C::kAddChannel},
                 {"Channels", "Rename...", wxACCEL_NORMAL, WXK_F2, C::kRename},
                 {"Channels", "Delete", wxACCEL_CTRL, WXK_DELETE, C::kDelete},
                 {"Channels", "Update channel", wxACCEL_SHIFT, WXK_F5, C::kUpdateSelected},
                 {"Channels", "Update all", wxACCEL_CTRL, WXK_F5, C::kUpdateAll},
                 {"Channels", "Stop updates", wxACCEL_CTRL, 'S', C::kStopAll},
                 {"Tools", "Options...", wxACCEL_CTRL, '0', C::kOptions}};
    for (const auto& hint : hints) {
        SCOPED_TRACE(hint.item);
        wxMenuItem* item = host.Item(hint.menu, hint.item);
        ASSERT_NE(item, nullptr);
        std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel());
        ASSERT_NE(accel, nullptr);
        EXPECT_EQ(accel->GetFlags(), hint.flags);
        EXPECT_EQ(accel->GetKeyCode(), hint.key);
        host.reader->ChannelView()->SetFocus();
        PumpEvents(30);
        seen.clear();
        ASSERT_TRUE(PressKey(hint.key, (hint.flags & wxACCEL_CTRL ? wxMOD_CONTROL : 0) |
                                           (hint.flags & wxACCEL_SHIFT ? wxMOD_SHIFT : 0)));
        EXPECT_EQ(seen, std::vector<C>{hint.command});
    }

    // Channels > Import runs the reader's import dialog.
    wxString title;
    host.reader->ChannelView()->showDialog = [&title](CRssDialog& dialog) {
        title = dialog.GetTitle();
        return static_cast<int>(wxID_CANCEL);
    };
    host.Choose(host.Item("Channels", "Import channels..."));
    EXPECT_EQ(title, "Import feed file");
    EXPECT_NE(host.Item("Channels", "Export channels..."), nullptr);
    // The plug-in's reader goes with ExitRSS, and with it the progress: the host's area is empty.
    int done = 0, total = 0, failed = 0;
    EXPECT_EQ(Plugin().RSSGetUpdateProgress(&done, &total, &failed), 1);
    Plugin().ExitRSS();
    EXPECT_EQ(Plugin().RSSGetUpdateProgress(&done, &total, &failed), 0);
    EXPECT_TRUE(host.frame->Area()->GetChildren().IsEmpty());
}

TEST(DesktopHost, CheckMarksFollowTheReaderAndTheTreeWidthIsKept) {
    TempDir app;
    MakeCatalogue(app, {}, "UpdateState=0\r\nLogState=1\r\n");
    {
        HostSession host(app);
        wxMenuItem* autoUpdate = host.Item("Tools", "Automatic update");
        wxMenuItem* logging = host.Item("Tools", "Logging");
        ASSERT_TRUE(autoUpdate && logging);
        // Every start of the reader begins with logging off, whatever was stored.
        host.frame->DoMenuUpdates();
        EXPECT_FALSE(logging->IsChecked());
        EXPECT_FALSE(autoUpdate->IsChecked());
        // The options dialog switches automatic updating on: the host's item follows.
        DialogAnswer answer([](wxDialog* dialog) {
            Click(dialog->FindWindow(11516));
            Click(dialog->FindWindow(wxID_OK));
        });
        host.Choose(host.Item("Tools", "Options..."));
        EXPECT_NE(ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini").find("UpdateState=1"),
                  std::string::npos);
        host.frame->DoMenuUpdates();
        EXPECT_TRUE(host.Item("Tools", "Automatic update")->IsChecked());
        // The reader's toolbar hidden, then the menus made again in Chinese: the marks stay.
        host.Choose(host.Item("Tools", "Show reader toolbar"));
        EXPECT_FALSE(host.reader->ToolBar()->IsShown());
        host.Choose(host.Item("Tools", "中文"));
        host.frame->DoMenuUpdates();
        EXPECT_FALSE(host.Item("工具", "显示阅读器工具栏")->IsChecked());
        EXPECT_TRUE(host.Item("工具", "自动更新")->IsChecked());
        EXPECT_FALSE(host.Item("工具", "记录日志")->IsChecked());

        // The split bar dragged 60 pixels to the right; collapsed and restored, the tree
        // comes back as wide.
        ASSERT_EQ(host.TreeWidth(), 160);
        CRssSplitterWnd* splitter = host.reader->Splitter();
        const wxPoint sash = splitter->ClientToScreen(wxPoint(160 + 3, 100));
        DragThrough({sash, sash + wxPoint(60, 0)});
        EXPECT_EQ(host.TreeWidth(), 220);
        splitter->ToggleLeftPane();
        splitter->ToggleLeftPane();
        EXPECT_EQ(splitter->LeftWidth(), 220);
    }
    // The next start comes back with the dragged width (kept in the host's settings).
    EXPECT_NE(ReadFileBytes(app / "TessavinHost.ini").find("treewidth=220"), std::string::npos);
    EXPECT_EQ(HostSession(app).TreeWidth(), 220);
    // A stored width wider than the window leaves the reading pane a quarter of it; one that
    // is no width at all is the default.
    const struct {
        const char* value;
        int low, high;
    } stored[] = {{"100000", 600, 1000}, {"wide", 160, 160}, {"-40", 160, 160}};
    for (const auto& width : stored) {
        SCOPED_TRACE(width.value);
        WriteFileBytes(app / "TessavinHost.ini",
                       std::string("[rss]\nuserchanneldefine=1\ntreewidth=") + width.value + "\n");
        HostSession host(app);
        EXPECT_GE(host.TreeWidth(), width.low);
        EXPECT_LE(host.TreeWidth(), width.high);
        const wxRect pane = host.reader->ReadingPane()->GetRect();
        const int splitterWidth = host.reader->Splitter()->GetClientSize().GetWidth();
        EXPECT_GE(pane.GetWidth(), splitterWidth / 4);
        EXPECT_EQ(pane.GetRight() + 1, splitterWidth);
    }
}

TEST(DesktopHost, TheStatusBarCountsStoppedChannelsApart) {
    TestHttpServer feeds;
    feeds.Get(R"(/feed\d\.xml)", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(FeedXml(NumberedItems(1, 3)), "application/rss+xml");
    });
    feeds.Start();
    std::vector<std::string> addresses;
    for (int i = 1; i <= 8; ++i)
        addresses.push_back(feeds.Url("/feed" + std::to_string(i) + ".xml"));
    StallingServer stalled;
    const std::string stall = "http://127.0.0.1:" + std::to_string(stalled.Port()) + "/s";
    // So many channels that never answer that the update's walk is still waiting for a free
    // worker when it is stopped (the rest never start).
    for (int i = 0; i < 36; ++i)
        addresses.push_back(stall + std::to_string(i) + ".xml");
    TempDir app;
    MakeCatalogue(app, addresses);
    HostSession host(app);
    host.Choose(host.Item("Channels", "Update all"));
    int done = 0, total = 0, failed = 0;
    ASSERT_TRUE(PumpUntil(
        [&] { return Plugin().RSSGetUpdateProgress(&done, &total, &failed) && done >= 8; }, 20000));
    EXPECT_TRUE(PumpUntil([&] { return host.Status() == "Updating 9 of 44"; }, 2000))
        << host.Status();
    host.Choose(host.Item("Channels", "Stop updates"));
    EXPECT_TRUE(PumpUntil(
        [&] { return host.Status() == "Updated 8 channels, 0 failed, 36 stopped"; }, 15000))
        << host.Status();
    // A host that knows only the first progress entry sees the update ended too.
    Plugin().RSSGetUpdateProgress(&done, &total, &failed);
    EXPECT_EQ(done, total);
    host.Choose(host.Item("Tools", "中文"));
    const wxString chinese = wxString::FromUTF8("已更新 8 个频道，0 个失败，36 个已停止");
    EXPECT_TRUE(PumpUntil([&] { return host.Status() == chinese; }, 2000)) << host.Status();
}
