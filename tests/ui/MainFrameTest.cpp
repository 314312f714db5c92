#include "FrameTest.h"
#include "HostContainer.h"
#include "engine/ThreadPool.h"
#include "opml/OpmlExport.h"
#include "platform/MessageQueue.h"
#include "ui/ResourceMenu.h"
#include "ui/RssDialog.h"
#include "ui/RssSplitterWnd.h"

#include <thread>
#include <wx/menu.h>
#include <wx/toolbar.h>

TEST_F(FrameTest, ThreadNumIsClampedAndWrittenBackOnlyWhenCorrected) {
    for (auto [stored, used] : {std::pair<const char*, unsigned>{"0", 1}, {"31", 30}, {"12", 12}}) {
        Setting("ThreadNum", stored);
        CMainFrame* reader = Run();
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->ThreadCount(), used);
        EXPECT_EQ(reader->Pool()->BaseCount(), used);
        const std::string ini = ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini");
        EXPECT_NE(ini.find("ThreadNum=" + std::to_string(used)), std::string::npos) << stored;
        ExitRSS();
    }
}

TEST_F(FrameTest, KeyTableRunsItsCommandsFromTheTreeAndIgnoresOtherModifiers) {
    Start();
    using C = CMainFrame::Command;
    std::vector<C> seen;
    frame->commandObserver = [&seen](C command) { seen.push_back(command); };
    // The commands with a dialog are answered "cancel".
    view->showDialog = [](CRssDialog&) { return static_cast<int>(wxID_CANCEL); };
    view->SetFocus();
    PumpEvents(50);
    // (Each key with its own modifiers is tried from the host's menus, DesktopHostTest.)
    const struct {
        int code;
        int modifiers;
        std::vector<C> expected;
    } keys[] = {{WXK_F2, wxMOD_NONE, {C::kRename}},
                {WXK_F5, wxMOD_CONTROL | wxMOD_SHIFT, {}},
                {WXK_F5, wxMOD_ALT, {}},
                {WXK_F2, wxMOD_CONTROL, {}},
                {'N', wxMOD_CONTROL | wxMOD_ALT, {}},
                {WXK_F11, wxMOD_NONE, {}}};
    for (const auto& key : keys) {
        seen.clear();
        ASSERT_TRUE(PressKey(key.code, key.modifiers));
        EXPECT_EQ(seen, key.expected) << "key " << key.code << " modifiers " << key.modifiers;
    }
}

TEST_F(FrameTest, FirstShowingUpdatesAllOnceWhenAutomaticUpdatingIsOn) {
    MakeCatalogue([](CatalogueModel& catalogue) {
        catalogue.AddChannel(nullptr, L"c", L"", L"http://127.0.0.1:1/feed.xml");
    });
    for (const char* state : {"1", "0"}) {
        Setting("UpdateState", state);
        // The frame is made and shown inside RSSRun; its first showing is handled once the
        // host's loop runs. Hidden and shown again, it starts nothing more.
        auto* reader = static_cast<CMainFrame*>(RSSRun(host, resources.get(), nullptr));
        ASSERT_NE(reader, nullptr);
        int updates = 0;
        reader->commandObserver = [&updates](CMainFrame::Command c) {
            updates += c == CMainFrame::Command::kUpdateAll;
        };
        ASSERT_TRUE(Drain(reader));
        int done = 0, total = 0, failed = 0;
        RSSGetUpdateProgress(&done, &total, &failed);
        reader->Hide();
        reader->Show();
        ASSERT_TRUE(Drain(reader));
        EXPECT_EQ(updates, state[0] == '1' ? 1 : 0) << state;
        EXPECT_EQ(total, state[0] == '1' ? 1 : 0) << state; // the walk took the one channel
        ExitRSS();
    }
}

TEST_F(FrameTest, SizeCollapseRestoreAndToolTips) {
    HostContainer container;
    container.SetText(L"QuorvelUIPlugin", L"IDS_UPDATE_ALL", L"Update every channel");
    container.SetText(L"QuorvelUIPlugin", L"IDS_OPTIONS", std::wstring(200, L'o'));
    Start(&container);
    SetSize(0, 500, 300);
    EXPECT_EQ(frame->GetPosition(), wxPoint(3, 4));
    EXPECT_EQ(frame->GetSize(), wxSize(500, 300));
    // Tooltips by key, cut at 79 characters; none for a key without a text.
    EXPECT_EQ(frame->ToolTipText(11607), L"Update every channel");
    EXPECT_EQ(frame->ToolTipText(11212), std::wstring(79, L'o'));
    EXPECT_EQ(frame->ToolTipText(11600), L"");
    EXPECT_EQ(frame->ToolBar()->GetToolShortHelp(11607), "Update every channel");
    SetPluginContainer(nullptr);
    EXPECT_EQ(frame->ToolTipText(11607), L"");
    EXPECT_EQ(frame->ToolBar()->GetToolsCount(), 9u);
    EXPECT_EQ(frame->ToolBar()->GetToolPos(11603), 8);

    // Collapse and restore without a drag: 160 (after one, DesktopHostTest).
    CRssSplitterWnd* splitter = frame->Splitter();
    EXPECT_EQ(splitter->LeftWidth(), 160);
    splitter->ToggleLeftPane();
    EXPECT_EQ(splitter->LeftWidth(), CRssSplitterWnd::kMinPaneWidth);
    splitter->ToggleLeftPane();
    EXPECT_EQ(splitter->LeftWidth(), 160);
    // A width restored from the host's settings is shown within the window; the window grown
    // again shows it whole.
    SetSize(0, 800, 300);
    splitter->RestoreLeftWidth(400);
    SetSize(0, 300, 300);
    EXPECT_EQ(splitter->LeftWidth(), 300 - 300 / 4 - CRssSplitterWnd::kSashWidth);
    EXPECT_EQ(view->GetSize().GetWidth(), splitter->LeftWidth());
    SetSize(0, 800, 300);
    EXPECT_EQ(splitter->LeftWidth(), 400);
    EXPECT_EQ(RSSGetTreeWidth(), 400);
    SetSize(0, 500, 300);
    // The toolbar hides and the panes take its room.
    const int height = splitter->GetSize().GetHeight();
    ShowToolBar(0);
    EXPECT_GT(splitter->GetSize().GetHeight(), height);
    ShowToolBar(1);
    EXPECT_EQ(splitter->GetSize().GetHeight(), height);
}

TEST_F(FrameTest, ExportsBeforeRunAfterExitAndASecondRun) {
    // (The entries without a frame, and the progress, import and check marks a host reads, are
    // tried in tests/host and DesktopHostTest.)
    const std::wstring exported = app.WPath() + L"export.opml";
    EXPECT_EQ(RSSExportChannels(exported.c_str()), 0);
    Start();
    EXPECT_EQ(Run(), frame); // a second run gives the same frame
    int done = 0, total = 0, failed = 0, stopped = 0;
    EXPECT_EQ(RSSGetUpdateCounts(&done, &total, &failed, &stopped), 1);
    EXPECT_EQ(stopped, 0);
    EXPECT_EQ(RSSGetTreeWidth(), CRssSplitterWnd::kInitialLeftWidth);
    // The switches as the reader has them: automatic updating, and logging.
    for (int on : {1, 0}) {
        EnableAutoUpdate(on);
        EXPECT_EQ(RSSGetAutoUpdate(), on);
        RSSToggleLogging();
        EXPECT_EQ(RSSGetLogging(), on);
    }
    // The running catalogue as a list; a folder that does not exist takes nothing.
    model->AddGroup(nullptr, L"Exported");
    ASSERT_EQ(RSSExportChannels(exported.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(app / "export.opml"), OpmlExport::Write(model->TopLevel()));
    EXPECT_NE(ReadFileBytes(app / "export.opml").find("text=\"Exported\""), std::string::npos);
    EXPECT_EQ(RSSExportChannels((app.WPath() + L"missing/folder/x.opml").c_str()), 0);
    ExitRSS(); // the frame, its workers and its catalogue are gone when this returns
    EXPECT_EQ(RSSGetTreeWidth(), 0);
    EXPECT_TRUE(host->GetChildren().IsEmpty());
    Updateall();
    // A later run starts a new frame on the same catalogue.
    CMainFrame* second = Run();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->Model(), nullptr);
}

TEST_F(FrameTest, AWorkerPostingAfterTheTreeWindowIsGoneReachesNothing) {
    // The frame keeps the target; the window closes it when it goes.
    WxMessageTarget target;
    auto* tree = new CRssChannelView(host, &target);
    EXPECT_TRUE(target.Post(11904, 0, 0));
    tree->Destroy(); // an event still queued for the window goes with it
    bool posted = true;
    std::thread worker([&target, &posted] { posted = target.Post(11901, 1, 0); });
    worker.join();
    EXPECT_FALSE(posted);
    PumpEvents(50);
}

TEST_F(FrameTest, ContextMenusFromTheResourcesTakeTheConfiguredTexts) {
    std::unique_ptr<wxMenu> menu(ResourceMenu::Load(11052));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->FindItem(11606)->GetItemLabel(), wxString::FromUTF8("更新频道\tShift+F5"));
    // config.xml names IDS_UPDATE_ALL_CHANNELS_MENU for 11607; the host has a text for it
    // but none for IDS_RENAME_MENU (11602), which keeps its default text.
    HostContainer container;
    container.SetText(L"QuorvelUIPlugin", L"IDS_UPDATE_ALL_CHANNELS_MENU", L"Update everything");
    const wxString renameDefault = menu->FindItem(11602)->GetItemLabel();
    EXPECT_EQ(ResourceMenu::ApplyMenuTexts(menu.get(), "TreeViewMenu", &container), 1);
    EXPECT_EQ(menu->FindItem(11607)->GetItemLabel(), "Update everything");
    EXPECT_EQ(menu->FindItem(11602)->GetItemLabel(), renameDefault);
    std::unique_ptr<wxMenu> tabs(ResourceMenu::Load(11053));
    ASSERT_TRUE(tabs);
    EXPECT_EQ(ResourceMenu::ApplyMenuTexts(tabs.get(), "NoSuchMenu", &container), 1);
    EXPECT_EQ(ResourceMenu::Load(99999), nullptr);
}

TEST_F(FrameTest, ChannelTimersAndDoubleClicks) {
    MakeCatalogue([](CatalogueModel& catalogue) {
        catalogue.AddChannel(nullptr, L"empty", L"", L"http://127.0.0.1:1/a.xml");
        CChannel* full = catalogue.AddChannel(nullptr, L"full", L"", L"http://127.0.0.1:1/b.xml");
        full->SetInterval(10);
        full->SetCounts(2, 3);
    });
    Start();
    CChannel* empty = model->Channels()[0].get();
    CChannel* full = model->Channels()[1].get();
    // Every channel has its timer, with the interval in minutes; no id is a drag timer's.
    const wxTimer* timer = view->TimerOf(full);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->IsRunning());
    EXPECT_EQ(timer->GetInterval(), 600000);
    EXPECT_GT(timer->GetId(), 2);
    // With automatic updating off an expiry starts nothing; on, the update.
    const int id = timer->GetId();
    view->OnChannelTimer(id);
    EXPECT_FALSE(full->IsUpdating());
    view->SetAutoUpdate(true);
    view->OnChannelTimer(id);
    EXPECT_TRUE(full->IsUpdating());
    EXPECT_TRUE(PumpUntil([full] { return !full->IsUpdating(); }, 10000)); // refused: port 1
    // A channel's double click: its page when it has items, else its first update.
    platform::MessageQueue pane;
    view->SetReadingPane(&pane);
    view->OpenNode(CatalogueModel::NodeOf(full));
    auto shown = pane.Drain();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].message, 11905u);
    EXPECT_EQ(shown[0].lParam, reinterpret_cast<platform::LParam>(full));
    view->OpenNode(CatalogueModel::NodeOf(empty));
    EXPECT_TRUE(empty->IsUpdating());
    EXPECT_TRUE(empty->GetShowWhenDone());
    EXPECT_TRUE(PumpUntil([empty] { return !empty->IsUpdating(); }, 10000));
    EXPECT_TRUE(pane.Drain().empty()); // the update failed: no page to show
    // A deleted channel's timer goes with it; its stale id starts nothing.
    model->Delete(CatalogueModel::NodeOf(full));
    view->OnChannelTimer(id);
    EXPECT_EQ(frame->Updates()->RunningJobs(), 0u);
}

TEST_F(FrameTest, TheNoticeOfNewItemsBringsTheWindowUp) {
    CDesktopNotice notice(host);
    host->Hide();
    // Without a notification service (as here) nothing is shown and nothing fails.
    notice.Show(L"3 new items in 2 channels", L"a, b");
    PumpEvents(20);
    EXPECT_FALSE(host->IsShown());
    notice.BringUp(); // what a click on it does
    EXPECT_TRUE(host->IsShown());
}
