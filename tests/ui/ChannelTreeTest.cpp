#include "../engine/FeedFixtures.h"
#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "TestHttpServer.h"
#include "catalogue/CatalogueModel.h"
#include "config/DateTime.h"
#include "engine/Messages.h"
#include "platform/FileSystem.h"
#include "ui/RssChannelView.h"
#include "ui/TreeDragger.h"

#include <wx/menu.h>
#include <wx/uiaction.h>

namespace {

// The tree's items as "text(children...)", in order. A catalogue read from its files lists
// each parent's groups before its channels; `asLoaded` puts them in that order.
std::string Shape(CRssChannelView* view, const wxTreeItemId& parent, bool asLoaded = false) {
    std::string groups, channels;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = view->GetFirstChild(parent, cookie); item.IsOk();
         item = view->GetNextChild(parent, cookie)) {
        std::string text = view->GetItemText(item).ToStdString();
        if (view->ItemHasChildren(item))
            text += "(" + Shape(view, item, asLoaded) + ")";
        const bool group = view->NodeOf(item) && view->NodeOf(item)->group;
        (asLoaded && group ? groups : channels) += text + " ";
    }
    return groups + channels;
}

class TreeTest : public FrameTest {
protected:
    std::string GroupDat() {
        return ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Group.dat");
    }
    std::string ChannelDat() {
        return ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Channel.dat");
    }
    // The middle of a node's label, on the screen.
    wxPoint At(CatalogueNode* node) {
        wxRect rect;
        EXPECT_TRUE(view->GetBoundingRect(view->ItemOf(node), rect, true));
        return view->ClientToScreen(rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2));
    }
    // Presses on `from`, holds, moves to `to` in steps, lingers, releases.
    void Drag(wxPoint from, wxPoint to, int lingerMs = 50) {
        wxUIActionSimulator sim;
        sim.MouseMove(from);
        PumpEvents(30);
        sim.MouseDown();
        PumpEvents(120);
        for (int i = 1; i <= 6; ++i) {
            sim.MouseMove(from + wxPoint((to.x - from.x) * i / 6, (to.y - from.y) * i / 6));
            PumpEvents(30);
        }
        PumpEvents(lingerMs);
        sim.MouseUp();
        PumpEvents(100);
    }

    CRssChannelView* view = nullptr;
};

CatalogueNode* Node(CGroup* group) {
    return CatalogueModel::NodeOf(group);
}
CatalogueNode* Node(CChannel* channel) {
    return CatalogueModel::NodeOf(channel);
}

} // namespace

TEST(TreeDragger, ScrollPeriodGrowsShorterWithTheDistancePastTheEdge) {
    // Inside the band along the edge, then 0 to 90 pixels past it, and far beyond.
    const std::pair<int, int> cases[] = {{-9, 6}, {0, 6},  {9, 6},  {10, 5}, {29, 5}, {30, 4},
                                         {50, 3}, {70, 2}, {89, 2}, {90, 1}, {140, 1}};
    for (auto [beyond, period] : cases)
        EXPECT_EQ(CTreeDragger::ScrollPeriod(beyond), period) << beyond;
}

TEST_F(TreeTest, DragsMoveSubtreesRefusalsChangeNothingAndTheTreeSurvivesARestart) {
    uint32_t g1, g2, g3;
    {
        CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
        ASSERT_TRUE(model.Open());
        CGroup* a = model.AddGroup(nullptr, L"G1");
        CChannel* one = model.AddChannel(a, L"one", L"", L"http://127.0.0.1:1/1");
        model.AddChannel(a, L"two", L"", L"http://127.0.0.1:1/2");
        CGroup* b = model.AddGroup(a, L"G2");
        model.AddChannel(b, L"three", L"", L"http://127.0.0.1:1/3");
        CGroup* c = model.AddGroup(nullptr, L"G3");
        model.AddChannel(c, L"five", L"", L"http://127.0.0.1:1/5");
        model.AddChannel(nullptr, L"four", L"", L"http://127.0.0.1:1/4");
        one->SetCounts(3, 7);
        model.SaveChannels();
        g1 = a->GetId(), g2 = b->GetId(), g3 = c->GetId();
    }
    Setting("UpdateState", "0");
    CMainFrame* frame = Run();
    ASSERT_NE(frame, nullptr);
    view = frame->ChannelView();
    CatalogueModel* model = frame->Model();
    PumpUntil([model] { return model->RunningJobs() == 0; }, 10000);
    CGroup* G1 = model->FindGroup(g1);
    CGroup* G2 = model->FindGroup(g2);
    CGroup* G3 = model->FindGroup(g3);
    CChannel* one = model->Channels()[0].get();
    CChannel* four = model->Channels()[4].get();
    view->Expand(view->ItemOf(Node(G1)));
    PumpEvents(50);
    const std::string groups = GroupDat(), channels = ChannelDat();

    // Refused: onto a channel, into its own subtree, a top-level group into the margin.
    Drag(At(Node(one)), At(Node(four)));
    EXPECT_EQ(one->GetGroupId(), g1);
    Drag(At(Node(G1)), At(Node(G2)));
    EXPECT_EQ(G1->GetParentId(), 0u);
    Drag(At(Node(G3)), view->ClientToScreen(wxPoint(5, view->ScreenToClient(At(Node(four))).y)));
    EXPECT_EQ(G3->GetParentId(), 0u);
    // Not moved either: a click with a trembling hand (three 1-pixel moves within a quarter
    // of a second), and a drag that comes back to its own node or ends on no node.
    {
        wxUIActionSimulator sim;
        const wxPoint at = At(Node(one));
        sim.MouseMove(at);
        PumpEvents(30);
        sim.MouseDown();
        PumpEvents(80);
        for (int i = 1; i <= 3; ++i) {
            sim.MouseMove(at + wxPoint(i % 2, i / 2));
            PumpEvents(40);
        }
        EXPECT_FALSE(view->Dragger().Dragging());
        sim.MouseUp();
        PumpEvents(100);
    }
    {
        wxUIActionSimulator sim;
        const wxPoint at = At(Node(one));
        sim.MouseMove(at);
        PumpEvents(30);
        sim.MouseDown();
        PumpEvents(120);
        for (int dy : {10, 20, 40, 20, 10, 0}) {
            sim.MouseMove(at + wxPoint(0, dy));
            PumpEvents(30);
        }
        EXPECT_TRUE(view->Dragger().Dragging());
        sim.MouseUp();
        PumpEvents(100);
    }
    Drag(At(Node(model->Channels()[1].get())),
         view->ClientToScreen(wxPoint(60, view->GetClientSize().y - 30)));
    EXPECT_EQ(one->GetGroupId(), g1);
    EXPECT_EQ(model->Channels()[1]->GetGroupId(), g1);
    EXPECT_FALSE(view->Dragger().Dragging());
    EXPECT_EQ(GroupDat(), groups);
    EXPECT_EQ(ChannelDat(), channels);

    // G1 with two channels and a child group onto G3; hovering over the collapsed G3 opens it.
    const wxTimer* timer = view->TimerOf(one);
    view->Collapse(view->ItemOf(Node(G3)));
    PumpEvents(50);
    Drag(At(Node(G1)), At(Node(G3)), 1000);
    EXPECT_EQ(G1->GetParentId(), g3);
    EXPECT_EQ(G2->GetParentId(), g1);
    EXPECT_EQ(one->GetGroupId(), g1);
    EXPECT_TRUE(view->IsExpanded(view->ItemOf(Node(G3))));
    EXPECT_EQ(view->TimerOf(one), timer); // the same timer, still running
    EXPECT_TRUE(timer->IsRunning());
    EXPECT_EQ(view->GetItemText(view->ItemOf(Node(one))), "one(3/7)");
    EXPECT_EQ(Shape(view, view->GetRootItem()),
              "G3(five(0/0) G1(G2(three(0/0) ) one(3/7) two(0/0) ) ) four(0/0) ");
    EXPECT_NE(GroupDat(), groups);

    // A nested group dropped into the left margin goes to the top level.
    view->Expand(view->ItemOf(Node(G1)));
    PumpEvents(50);
    Drag(At(Node(G2)), view->ClientToScreen(wxPoint(5, view->ScreenToClient(At(Node(four))).y)));
    EXPECT_EQ(G2->GetParentId(), 0u);
    EXPECT_EQ(Shape(view, view->GetRootItem()),
              "G3(five(0/0) G1(one(3/7) two(0/0) ) ) four(0/0) G2(three(0/0) ) ");
    const std::string shape = Shape(view, view->GetRootItem(), true);

    // Both files were saved: a restart shows the same tree.
    ExitRSS();
    PumpEvents(50);
    frame = Run();
    ASSERT_NE(frame, nullptr);
    view = frame->ChannelView();
    EXPECT_EQ(Shape(view, view->GetRootItem()), shape);
}

TEST_F(TreeTest, ADragNeedsTheButtonHeldAndTheTreeScrollsPastItsEdge) {
    {
        CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
        ASSERT_TRUE(model.Open());
        for (int i = 0; i < 60; ++i)
            model.AddChannel(nullptr, L"c" + std::to_wstring(i), L"",
                             L"http://127.0.0.1:1/" + std::to_wstring(i));
    }
    Setting("UpdateState", "0");
    CMainFrame* frame = Run();
    ASSERT_NE(frame, nullptr);
    view = frame->ChannelView();
    CatalogueModel* model = frame->Model();
    PumpUntil([model] { return model->RunningJobs() == 0; }, 20000);
    CTreeDragger& dragger = view->Dragger();
    const wxTreeItemId first = view->ItemOf(Node(model->Channels()[0].get()));

    // The tree asks to begin a drag on a move with the button down: too soon after the
    // press it is refused, later it starts.
    wxMouseEvent down(wxEVT_LEFT_DOWN), move(wxEVT_MOTION);
    down.SetTimestamp(100000);
    down.SetPosition(wxPoint(40, 10));
    dragger.OnLeftDown(down);
    move.SetTimestamp(100059);
    move.SetPosition(wxPoint(40, 40));
    dragger.OnMotion(move);
    wxTreeEvent begin(wxEVT_TREE_BEGIN_DRAG, view, first);
    dragger.OnBeginDrag(begin);
    EXPECT_FALSE(dragger.Dragging());
    move.SetTimestamp(100060);
    dragger.OnMotion(move);
    dragger.OnBeginDrag(begin);
    EXPECT_TRUE(dragger.Dragging());
    EXPECT_TRUE(view->HasCapture());
    dragger.Cancel();
    EXPECT_FALSE(view->HasCapture());

    // Held 95 pixels below the tree, a drag scrolls a line every tick (40 ms).
    const std::string channels = ChannelDat();
    wxUIActionSimulator sim;
    const wxPoint from = At(Node(model->Channels()[0].get()));
    const int below = view->ClientToScreen(wxPoint(0, view->GetClientSize().y)).y + 95;
    sim.MouseMove(from);
    PumpEvents(30);
    sim.MouseDown();
    PumpEvents(120);
    for (int i = 1; i <= 4; ++i) {
        sim.MouseMove(wxPoint(from.x, from.y + 10 * i));
        PumpEvents(30);
    }
    ASSERT_TRUE(dragger.Dragging());
    wxRect before;
    view->GetBoundingRect(first, before);
    sim.MouseMove(wxPoint(from.x, below));
    const long ticks = dragger.ScrollTicks();
    PumpEvents(600);
    wxRect after;
    view->GetBoundingRect(first, after);
    const long scrolls = dragger.ScrollTicks() - ticks;
    EXPECT_GE(scrolls, 5);
    // Every tick moved the rows up by one line (within the ticks counted while looking).
    EXPECT_GE((before.y - after.y) / before.height, scrolls - 2);
    // The drop target followed the scroll: a channel, which takes nothing.
    EXPECT_TRUE(dragger.DropTarget().IsOk());
    sim.MouseUp();
    PumpEvents(100);
    EXPECT_FALSE(dragger.Dragging());
    EXPECT_EQ(ChannelDat(), channels);
}

TEST_F(TreeTest, UpdateEndsSetImageTextAndTimerAndBurstsSaveOnce) {
    TestHttpServer server;
    server.Serve("/feed.xml", FeedXml(NumberedItems(1, 4)));
    server.Start();
    {
        CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
        ASSERT_TRUE(model.Open());
        model.AddChannel(nullptr, L"good", L"", platform::Utf8ToWide(server.Url("/feed.xml")));
        model.AddChannel(nullptr, L"bad", L"",
                         L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x");
    }
    Setting("UpdateState", "0");
    HostContainer container;
    AddEnglishTexts(container);
    ASSERT_TRUE(platform::CopyFile(platform::Utf8ToWide(TESSAVIN_TEST_MESSAGEBOX_LIBRARY),
                                   app.WPath() + L"libXMessageBox.so", false));
    const std::string boxLog = app / "messagebox.log";
    setenv("TESSAVIN_FAKE_MESSAGEBOX_LOG", boxLog.c_str(), 1);
    CMainFrame* frame = Run(&container);
    ASSERT_NE(frame, nullptr);
    view = frame->ChannelView();
    CatalogueModel* model = frame->Model();
    CChannel* good = model->Channels()[0].get();
    CChannel* bad = model->Channels()[1].get();
    const wxTreeItemId goodItem = view->ItemOf(Node(good));
    const wxTreeItemId badItem = view->ItemOf(Node(bad));
    ASSERT_TRUE(PumpUntil([model] { return model->RunningJobs() == 0; }, 10000));
    const int goodTimer = view->TimerOf(good)->GetId();
    const int badTimer = view->TimerOf(bad)->GetId();
    const std::string saved = ChannelDat();

    // While an update runs the node shows the updating image.
    model->UpdateSelected(good);
    model->UpdateSelected(bad);
    EXPECT_EQ(view->GetItemImage(goodItem), 3);
    EXPECT_EQ(view->GetItemImage(badItem, wxTreeItemIcon_Selected), 3);
    ASSERT_TRUE(
        PumpUntil([model] { return model->RunningJobs() == 0 && !model->SavePending(); }, 10000));
    // Success: counts in the text, a new timer, saved; failure: the failing image, and the
    // tool tip says why and since when.
    EXPECT_EQ(view->GetItemImage(goodItem), 2);
    EXPECT_EQ(view->GetItemImage(badItem), 4);
    auto tip = [this](const wxTreeItemId& item) {
        wxTreeEvent ask(wxEVT_TREE_ITEM_GETTOOLTIP, view, item);
        view->ProcessWindowEvent(ask);
        return ask.GetToolTip().ToStdString();
    };
    ASSERT_NE(model->HealthOf(bad), nullptr);
    const std::string why =
        model->HealthOf(bad)->Reason() + " since " + platform::WideToUtf8(FormatNow(L"%Y-%m-%d"));
    EXPECT_EQ(tip(badItem).rfind(why, 0), 0u) << tip(badItem);
    EXPECT_EQ(tip(badItem).substr(tip(badItem).size() - 15), ", never updated");
    EXPECT_EQ(tip(goodItem), "");
    // A double click on it says so, and updates it again only when asked to.
    view->SelectItem(badItem);
    wxTreeEvent activate(wxEVT_TREE_ITEM_ACTIVATED, view, badItem);
    view->ProcessWindowEvent(activate);
    EXPECT_EQ(ReadFileBytes(boxLog).rfind("The channel 'bad' cannot be updated: " + why, 0), 0u)
        << ReadFileBytes(boxLog);
    ASSERT_TRUE(PumpUntil([model] { return model->RunningJobs() == 0; }, 10000));
    EXPECT_EQ(view->GetItemText(goodItem), "good(4/4)");
    EXPECT_EQ(view->GetItemText(badItem), "bad(0/0)");
    EXPECT_NE(view->TimerOf(good)->GetId(), goodTimer);
    EXPECT_EQ(view->TimerOf(bad)->GetId(), badTimer);
    EXPECT_NE(ChannelDat(), saved);

    // A burst of read marks is saved once, after the burst, with the last counts.
    for (int i = 0; i < 3; ++i)
        view->Target()->Post(kMsgItemReadChanged, 1, reinterpret_cast<platform::LParam>(good));
    ASSERT_TRUE(PumpUntil(
        [&] { return view->GetItemText(goodItem) == "good(1/4)" && !model->SavePending(); }, 5000));
    const std::string afterReads = ChannelDat();
    ExitRSS();
    EXPECT_EQ(ChannelDat(), afterReads);
    frame = Run(&container);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Model()->Channels()[0]->NodeText(), L"good(1/4)");
    // The failing state is kept across a restart.
    view = frame->ChannelView();
    EXPECT_EQ(view->GetItemImage(view->ItemOf(Node(frame->Model()->Channels()[1].get()))), 4);
    unsetenv("TESSAVIN_FAKE_MESSAGEBOX_LOG");
}

TEST_F(TreeTest, ClicksMoveTheSelectionAndTheLastDeletedItemSelectsItsChannel) {
    {
        CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
        ASSERT_TRUE(model.Open());
        model.AddGroup(nullptr, L"G");
        CChannel* c = model.AddChannel(nullptr, L"c", L"", L"http://127.0.0.1:1/c");
        c->SetCounts(0, 1);
        model.SaveChannels();
    }
    Setting("UpdateState", "0");
    CMainFrame* frame = Run();
    ASSERT_NE(frame, nullptr);
    view = frame->ChannelView();
    CatalogueModel* model = frame->Model();
    CatalogueNode* group = Node(model->Groups()[0].get());
    CChannel* channel = model->Channels()[0].get();
    auto selected = [this] { return view->NodeOf(view->GetSelection()); };
    wxUIActionSimulator sim;
    sim.MouseMove(At(group));
    sim.MouseClick();
    PumpEvents(100);
    EXPECT_EQ(selected(), group);
    // A click below every node leaves nothing selected: only adding and import are enabled.
    sim.MouseMove(view->ClientToScreen(wxPoint(40, view->GetClientSize().y - 20)));
    sim.MouseClick();
    PumpEvents(100);
    EXPECT_EQ(selected(), nullptr);
    std::unique_ptr<wxMenu> menu(view->BuildContextMenu());
    std::string on;
    for (wxMenuItem* item : menu->GetMenuItems())
        on += item->IsEnabled() ? '1' : '0';
    EXPECT_EQ(on, "1100000001");
    // The page deleted the channel's last item: its articles go and it becomes the selection.
    view->Target()->Post(kMsgItemDeleted, 1, reinterpret_cast<platform::LParam>(channel));
    ASSERT_TRUE(PumpUntil([&] { return selected() == Node(channel); }, 2000));
    EXPECT_EQ(view->GetItemText(view->ItemOf(Node(channel))), "c(0/0)");
}
