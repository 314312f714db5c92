#include "ui/MainFrame.h"
#include "AppFolderSetup.h"
#include "FrameTest.h"
#include "HostContainer.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "engine/ThreadPool.h"
#include "host/Exports.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"
#include "platform/ResourceModule.h"
#include "ui/ResourceMenu.h"
#include "ui/RssChannelView.h"
#include "ui/RssDialog.h"
#include "ui/RssSplitterWnd.h"
#include "xml/OpmlExport.h"

#include <gtest/gtest.h>
#include <thread>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

TEST_F(FrameTest, ThreadNumIsClampedAndWrittenBackOnlyWhenCorrected) {
    for (auto [stored, used] : {std::pair<const char*, unsigned>{"0", 1}, {"31", 30}, {"12", 12}}) {
        Setting("ThreadNum", stored);
        CMainFrame* frame = Run();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->ThreadCount(), used);
        EXPECT_EQ(frame->Pool()->BaseCount(), used);
        const std::string ini = ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini");
        EXPECT_NE(ini.find("ThreadNum=" + std::to_string(used)), std::string::npos) << stored;
        ExitRSS();
        int done, total, failed;
        EXPECT_EQ(RSSGetUpdateProgress(&done, &total, &failed), 0); // the frame is gone
    }
}

TEST_F(FrameTest, KeyTableRunsItsCommandsFromTheTreeAndIgnoresOtherModifiers) {
    CMainFrame* frame = Run();
    ASSERT_NE(frame, nullptr);
    std::vector<CMainFrame::Command> seen;
    frame->commandObserver = [&seen](CMainFrame::Command c) { seen.push_back(c); };
    // The commands with a dialog are answered "cancel".
    frame->ChannelView()->showDialog = [](CRssDialog&) { return static_cast<int>(wxID_CANCEL); };
    frame->ChannelView()->SetFocus();
    PumpEvents(50);
    using C = CMainFrame::Command;
    struct Key {
        int code;
        int modifiers;
        std::vector<C> expected;
    };
    const Key keys[] = {{WXK_DELETE, wxMOD_CONTROL, {C::kDelete}},
                        {'0', wxMOD_CONTROL, {C::kOptions}},
                        {'N', wxMOD_CONTROL, {C::kAddChannel}},
                        {'S', wxMOD_CONTROL, {C::kStopAll}},
                        {WXK_F2, wxMOD_NONE, {C::kRename}},
                        {WXK_F5, wxMOD_CONTROL, {C::kUpdateAll}},
                        {WXK_F5, wxMOD_SHIFT, {C::kUpdateSelected}},
                        {WXK_F5, wxMOD_CONTROL | wxMOD_SHIFT, {}},
                        {WXK_F5, wxMOD_ALT, {}},
                        {WXK_F2, wxMOD_CONTROL, {}},
                        {'N', wxMOD_CONTROL | wxMOD_ALT, {}},
                        {WXK_F11, wxMOD_NONE, {}}};
    wxUIActionSimulator simulator;
    for (const Key& key : keys) {
        seen.clear();
        simulator.Char(key.code, key.modifiers);
        PumpEvents(60);
        EXPECT_EQ(seen, key.expected) << "key " << key.code << " modifiers " << key.modifiers;
    }
}

TEST_F(FrameTest, FirstShowingUpdatesAllOnceWhenAutomaticUpdatingIsOn) {
    Setting("UpdateState", "1");
    {
        CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
        ASSERT_TRUE(model.Open());
        model.AddChannel(nullptr, L"c", L"", L"http://127.0.0.1:1/feed.xml");
    }
    // The frame is made and shown inside RSSRun; its first showing is handled once the
    // host's loop runs.
    auto* frame = static_cast<CMainFrame*>(RSSRun(host, resources.get(), nullptr));
    ASSERT_NE(frame, nullptr);
    int updates = 0;
    frame->commandObserver = [&updates](CMainFrame::Command c) {
        updates += c == CMainFrame::Command::kUpdateAll;
    };
    PumpEvents(100);
    EXPECT_EQ(updates, 1);
    int done = 0, total = 0, failed = 0;
    RSSGetUpdateProgress(&done, &total, &failed);
    EXPECT_EQ(total, 1); // the walk took the one channel
    frame->Hide();
    PumpEvents(50);
    frame->Show();
    PumpEvents(100);
    EXPECT_EQ(updates, 1);
    // With automatic updating off the first showing starts nothing.
    ExitRSS();
    Setting("UpdateState", "0");
    frame = static_cast<CMainFrame*>(RSSRun(host, resources.get(), nullptr));
    frame->commandObserver = [&updates](CMainFrame::Command c) {
        updates += c == CMainFrame::Command::kUpdateAll;
    };
    PumpEvents(100);
    EXPECT_EQ(updates, 1);
}

TEST_F(FrameTest, SizeCollapseRestoreAndToolTips) {
    HostContainer container;
    container.SetText(L"QuorvelUIPlugin", L"IDS_UPDATE_ALL", L"Update every channel");
    container.SetText(L"QuorvelUIPlugin", L"IDS_OPTIONS", std::wstring(200, L'o'));
    CMainFrame* frame = Run(&container);
    ASSERT_NE(frame, nullptr);
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

    // Collapse and restore without a drag: 160; after a drag: the dragged width.
    CRssSplitterWnd* splitter = frame->Splitter();
    EXPECT_EQ(splitter->LeftWidth(), 160);
    splitter->ToggleLeftPane();
    EXPECT_EQ(splitter->LeftWidth(), CRssSplitterWnd::kMinPaneWidth);
    splitter->ToggleLeftPane();
    EXPECT_EQ(splitter->LeftWidth(), 160);
    wxUIActionSimulator mouse;
    const wxPoint sash = splitter->ClientToScreen(wxPoint(160 + 3, 100));
    mouse.MouseMove(sash);
    PumpEvents(50);
    mouse.MouseDown();
    PumpEvents(50);
    mouse.MouseMove(sash + wxPoint(60, 0));
    PumpEvents(50);
    mouse.MouseUp();
    PumpEvents(50);
    EXPECT_EQ(splitter->LeftWidth(), 220);
    splitter->ToggleLeftPane();
    splitter->ToggleLeftPane();
    EXPECT_EQ(splitter->LeftWidth(), 220);
    EXPECT_EQ(RSSGetTreeWidth(), 220);
    // A width restored from the host's settings is shown within the window; the window grown
    // again shows it whole.
    SetSize(0, 800, 300);
    splitter->RestoreLeftWidth(400);
    EXPECT_EQ(splitter->LeftWidth(), 400);
    SetSize(0, 300, 300);
    EXPECT_EQ(splitter->LeftWidth(), 300 - 300 / 4 - CRssSplitterWnd::kSashWidth);
    EXPECT_EQ(frame->ChannelView()->GetSize().GetWidth(), splitter->LeftWidth());
    SetSize(0, 800, 300);
    EXPECT_EQ(splitter->LeftWidth(), 400);
    EXPECT_EQ(RSSGetTreeWidth(), 400);
    splitter->RestoreLeftWidth(0); // no width: nothing changes
    EXPECT_EQ(splitter->LeftWidth(), 400);
    splitter->RestoreLeftWidth(220);
    SetSize(0, 500, 300);
    // The toolbar hides and the panes take its room.
    const int height = splitter->GetSize().GetHeight();
    ShowToolBar(0);
    EXPECT_GT(splitter->GetSize().GetHeight(), height);
    ShowToolBar(1);
    EXPECT_EQ(splitter->GetSize().GetHeight(), height);
}

TEST_F(FrameTest, ExportsBeforeRunAfterExitAndASecondRun) {
    // Nothing happens without a frame.
    Updateall();
    SetSize(0, 10, 10);
    int done = 0, total = 0, failed = 0, stopped = 0;
    EXPECT_EQ(RSSGetUpdateProgress(&done, &total, &failed), 0);
    EXPECT_EQ(RSSGetUpdateCounts(&done, &total, &failed, &stopped), 0);
    EXPECT_EQ(RSSGetTreeWidth(), 0);
    EXPECT_EQ(RSSGetAutoUpdate(), 0);
    RSSImportChannels();
    const std::wstring exported = app.WPath() + L"export.opml";
    EXPECT_EQ(RSSExportChannels(exported.c_str()), 0);
    CMainFrame* first = Run();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Run(), first); // a second run gives the same frame
    EXPECT_EQ(RSSGetUpdateProgress(&done, &total, &failed), 1);
    EXPECT_EQ(RSSGetUpdateCounts(&done, &total, &failed, &stopped), 1);
    EXPECT_EQ(stopped, 0);
    EXPECT_EQ(RSSGetTreeWidth(), CRssSplitterWnd::kInitialLeftWidth);
    // The switches as the reader has them: automatic updating, and logging (off at start).
    EnableAutoUpdate(1);
    EXPECT_EQ(RSSGetAutoUpdate(), 1);
    EnableAutoUpdate(0);
    EXPECT_EQ(RSSGetAutoUpdate(), 0);
    const int logging = RSSGetLogging();
    RSSToggleLogging();
    EXPECT_EQ(RSSGetLogging(), 1 - logging);
    RSSToggleLogging();
    EXPECT_EQ(RSSGetLogging(), logging);
    // The import command is the tree's: its dialog.
    wxString title;
    first->ChannelView()->showDialog = [&title](CRssDialog& dialog) {
        title = dialog.GetTitle();
        return static_cast<int>(wxID_CANCEL);
    };
    RSSImportChannels();
    EXPECT_FALSE(title.empty());
    // The running catalogue as a list; a folder that does not exist takes nothing.
    first->Model()->AddGroup(nullptr, L"Exported");
    ASSERT_EQ(RSSExportChannels(exported.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(app / "export.opml"), OpmlExport::Write(first->Model()->TopLevel()));
    EXPECT_NE(ReadFileBytes(app / "export.opml").find("text=\"Exported\""), std::string::npos);
    EXPECT_EQ(RSSExportChannels((app.WPath() + L"missing/folder/x.opml").c_str()), 0);
    ExitRSS(); // the frame, its workers and its catalogue are gone when this returns
    EXPECT_EQ(RSSGetUpdateProgress(&done, &total, &failed), 0);
    EXPECT_EQ(RSSGetTreeWidth(), 0);
    Updateall();
    // A later run starts a new frame on the same catalogue.
    CMainFrame* second = Run();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->Model(), nullptr);
}

TEST_F(FrameTest, AWorkerPostingAfterTheTreeWindowIsGoneReachesNothing) {
    // The frame keeps the target; the window closes it when it goes.
    WxMessageTarget target;
    auto* view = new CRssChannelView(host, &target);
    EXPECT_TRUE(target.Post(11904, 0, 0));
    view->Destroy(); // an event still queued for the window goes with it
    bool posted = true;
    std::thread worker([&target, &posted] { posted = target.Post(11901, 1, 0); });
    worker.join();
    EXPECT_FALSE(posted);
    PumpEvents(50);
}

TEST_F(FrameTest, ContextMenusFromTheResourcesTakeTheConfiguredTexts) {
    std::unique_ptr<wxMenu> menu(ResourceMenu::Load(11052));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->GetMenuItemCount(), 10u);
    EXPECT_EQ(menu->FindItem(11606)->GetItemLabel(), wxString::FromUTF8("更新频道\tShift+F5"));
    const wxString defaultText = menu->FindItem(11607)->GetItemLabel();
    EXPECT_FALSE(defaultText.empty());
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
    {
        CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
        ASSERT_TRUE(model.Open());
        model.AddChannel(nullptr, L"empty", L"", L"http://127.0.0.1:1/a.xml");
        CChannel* full = model.AddChannel(nullptr, L"full", L"", L"http://127.0.0.1:1/b.xml");
        full->SetInterval(10);
        full->SetCounts(2, 3);
        model.SaveChannels();
    }
    Setting("UpdateState", "0");
    CMainFrame* frame = Run();
    ASSERT_NE(frame, nullptr);
    CRssChannelView* view = frame->ChannelView();
    CChannel* empty = frame->Model()->Channels()[0].get();
    CChannel* full = frame->Model()->Channels()[1].get();
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
    frame->Model()->Delete(CatalogueModel::NodeOf(full));
    view->OnChannelTimer(id);
    EXPECT_EQ(frame->Model()->RunningJobs(), 0u);
}

TEST_F(FrameTest, ContextMenuEnablingFollowsTheSelection) {
    {
        CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
        ASSERT_TRUE(model.Open());
        CGroup* group = model.AddGroup(nullptr, L"G");
        model.AddChannel(group, L"C", L"", L"http://127.0.0.1:1/c.xml");
    }
    CMainFrame* frame = Run();
    ASSERT_NE(frame, nullptr);
    CRssChannelView* view = frame->ChannelView();
    auto enabled = [view]() {
        std::unique_ptr<wxMenu> menu(view->BuildContextMenu());
        std::string on;
        for (wxMenuItem* item : menu->GetMenuItems())
            on += item->IsEnabled() ? '1' : '0';
        return on;
    };
    // Commands 11600 to 11609 in menu order.
    view->UnselectAll();
    EXPECT_EQ(enabled(), "1100000001");
    view->SelectItem(view->ItemOf(CatalogueModel::NodeOf(frame->Model()->Groups()[0].get())));
    EXPECT_EQ(enabled(), "1110100111");
    view->SelectItem(view->ItemOf(CatalogueModel::NodeOf(frame->Model()->Channels()[0].get())));
    EXPECT_EQ(enabled(), "0011111110");
}
