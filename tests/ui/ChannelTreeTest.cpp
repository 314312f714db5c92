#include "../engine/FeedFixtures.h"
#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "TestHttpServer.h"
#include "catalogue/IconCache.h"
#include "config/DateTime.h"
#include "engine/Messages.h"
#include "ui/IconImage.h"
#include "ui/TreeDragger.h"

#include <atomic>
#include <ctime>
#include <httplib.h>
#include <utime.h>
#include <wx/mstream.h>

#include <wx/menu.h>
#include <wx/uiaction.h>

namespace {

// The tree's items as "text(children...)", in order.
std::string Shape(CRssChannelView* view, const wxTreeItemId& parent) {
    std::string shape;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = view->GetFirstChild(parent, cookie); item.IsOk();
         item = view->GetNextChild(parent, cookie)) {
        shape += view->GetItemText(item).ToStdString();
        if (view->ItemHasChildren(item))
            shape += "(" + Shape(view, item) + ")";
        shape += " ";
    }
    return shape;
}

CatalogueNode* Node(CGroup* group) {
    return CatalogueModel::NodeOf(group);
}
CatalogueNode* Node(CChannel* channel) {
    return CatalogueModel::NodeOf(channel);
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
    // A drag in six steps: it starts, and the release ends it (the drop taken or refused).
    void Drag(const wxPoint& from, const wxPoint& to, int lingerMs = 50) {
        std::vector<wxPoint> path{from};
        for (int i = 1; i <= 6; ++i)
            path.push_back(from + wxPoint((to.x - from.x) * i / 6, (to.y - from.y) * i / 6));
        DragThrough(path, lingerMs, [this] { EXPECT_TRUE(view->Dragger().Dragging()); });
        EXPECT_TRUE(PumpUntil([this] { return !view->Dragger().Dragging(); }, 2000));
    }
    // The left margin of the tree, at the height of a node.
    wxPoint MarginBeside(CatalogueNode* node) {
        return view->ClientToScreen(wxPoint(5, view->ScreenToClient(At(node)).y));
    }
};

} // namespace

TEST(TreeDragger, ScrollPeriodGrowsShorterWithTheDistancePastTheEdge) {
    // Inside the band along the edge, then 0 to 90 pixels past it, and far beyond.
    const std::pair<int, int> cases[] = {{-9, 6}, {0, 6},  {9, 6},  {10, 5}, {29, 5}, {30, 4},
                                         {50, 3}, {70, 2}, {89, 2}, {90, 1}, {140, 1}};
    for (auto [beyond, period] : cases)
        EXPECT_EQ(CTreeDragger::ScrollPeriod(beyond), period) << beyond;
}

TEST_F(TreeTest, DragsMoveSubtreesAndRefusalsChangeNothing) {
    uint32_t g1, g2, g3;
    MakeCatalogue([&](CatalogueModel& catalogue) {
        CGroup* a = catalogue.AddGroup(nullptr, L"G1");
        catalogue.AddChannel(a, L"one", L"", L"http://127.0.0.1:1/1")->SetCounts(3, 7);
        catalogue.AddChannel(a, L"two", L"", L"http://127.0.0.1:1/2");
        CGroup* b = catalogue.AddGroup(a, L"G2");
        catalogue.AddChannel(b, L"three", L"", L"http://127.0.0.1:1/3");
        CGroup* c = catalogue.AddGroup(nullptr, L"G3");
        catalogue.AddChannel(c, L"five", L"", L"http://127.0.0.1:1/5");
        catalogue.AddChannel(nullptr, L"four", L"", L"http://127.0.0.1:1/4");
        g1 = a->GetId(), g2 = b->GetId(), g3 = c->GetId();
    });
    Start();
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
    Drag(At(Node(G3)), MarginBeside(Node(four)));
    EXPECT_EQ(G3->GetParentId(), 0u);
    // Not moved either: a click with a trembling hand (three 1-pixel moves within a quarter
    // of a second), and a drag that comes back to its own node or ends on no node.
    const wxPoint at = At(Node(one));
    DragThrough({at, at + wxPoint(1, 0), at + wxPoint(0, 1), at + wxPoint(1, 1)}, 0,
                [&] { EXPECT_FALSE(view->Dragger().Dragging()); });
    std::vector<wxPoint> back{at};
    for (int dy : {10, 20, 40, 20, 10, 0})
        back.push_back(at + wxPoint(0, dy));
    DragThrough(back, 0, [&] { EXPECT_TRUE(view->Dragger().Dragging()); });
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
    EXPECT_EQ(Shape(view, view->GetRootItem()),
              "G3(five(0/0) G1(G2(three(0/0) ) one(3/7) two(0/0) ) ) four(0/0) ");
    EXPECT_NE(GroupDat(), groups);
    // A nested group dropped into the left margin goes to the top level.
    view->Expand(view->ItemOf(Node(G1)));
    PumpEvents(50);
    Drag(At(Node(G2)), MarginBeside(Node(four)));
    EXPECT_EQ(G2->GetParentId(), 0u);
    EXPECT_EQ(Shape(view, view->GetRootItem()),
              "G3(five(0/0) G1(one(3/7) two(0/0) ) ) four(0/0) G2(three(0/0) ) ");
}

TEST_F(TreeTest, ADragNeedsTheButtonHeldAndTheTreeScrollsPastItsEdge) {
    MakeCatalogue([](CatalogueModel& catalogue) {
        for (int i = 0; i < 60; ++i)
            catalogue.AddChannel(nullptr, L"c" + std::to_wstring(i), L"",
                                 L"http://127.0.0.1:1/" + std::to_wstring(i));
    });
    Start();
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
    const wxPoint from = At(Node(model->Channels()[0].get()));
    const int below = view->ClientToScreen(wxPoint(0, view->GetClientSize().y)).y + 95;
    std::vector<wxPoint> path{from};
    for (int i = 1; i <= 4; ++i)
        path.push_back(wxPoint(from.x, from.y + 10 * i));
    wxRect before, after;
    long ticks = 0;
    DragThrough(path, 0, [&] {
        ASSERT_TRUE(dragger.Dragging());
        view->GetBoundingRect(first, before);
        wxUIActionSimulator().MouseMove(wxPoint(from.x, below));
        ticks = dragger.ScrollTicks();
        PumpEvents(600);
        view->GetBoundingRect(first, after);
        ticks = dragger.ScrollTicks() - ticks;
        // The drop target followed the scroll: a channel, which takes nothing.
        EXPECT_TRUE(dragger.DropTarget().IsOk());
    });
    EXPECT_GE(ticks, 5);
    // Every tick moved the rows up by one line (within the ticks counted while looking).
    EXPECT_GE((before.y - after.y) / before.height, ticks - 2);
    EXPECT_FALSE(dragger.Dragging());
    EXPECT_EQ(ChannelDat(), channels);
}

TEST_F(TreeTest, UpdateEndsSetImageTextAndTimerAndBurstsSaveOnce) {
    TestHttpServer server;
    server.Serve("/feed.xml", FeedXml(NumberedItems(1, 4)));
    server.Start();
    MakeCatalogue([&](CatalogueModel& catalogue) {
        catalogue.AddChannel(nullptr, L"good", L"", platform::Utf8ToWide(server.Url("/feed.xml")));
        catalogue.AddChannel(nullptr, L"bad", L"",
                             L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x");
    });
    HostContainer container;
    AddEnglishTexts(container);
    FakeMessageBoxes();
    Start(&container);
    CChannel* good = model->Channels()[0].get();
    CChannel* bad = model->Channels()[1].get();
    const wxTreeItemId goodItem = view->ItemOf(Node(good));
    const wxTreeItemId badItem = view->ItemOf(Node(bad));
    const int goodTimer = view->TimerOf(good)->GetId();
    const int badTimer = view->TimerOf(bad)->GetId();
    const std::string saved = ChannelDat();

    // While an update runs the node shows the updating image.
    frame->Updates()->UpdateSelected(good);
    frame->Updates()->UpdateSelected(bad);
    EXPECT_EQ(view->GetItemImage(goodItem), 3);
    EXPECT_EQ(view->GetItemImage(badItem, wxTreeItemIcon_Selected), 3);
    ASSERT_TRUE(PumpUntil(
        [&] { return frame->Updates()->RunningJobs() == 0 && !model->SavePending(); }, 10000));
    // Success: counts in the text, a new timer, saved; failure: the failing image, and the tool
    // tip says why and since when.
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
    const std::string box = Boxes();
    EXPECT_EQ(box.rfind("The channel 'bad' cannot be updated: " + why, 0), 0u) << box;
    ASSERT_TRUE(PumpUntil([&] { return frame->Updates()->RunningJobs() == 0; }, 10000));
    EXPECT_EQ(view->GetItemText(goodItem), "good(4/4)");
    EXPECT_EQ(view->GetItemText(badItem), "bad(0/0)");
    EXPECT_NE(view->TimerOf(good)->GetId(), goodTimer);
    EXPECT_EQ(view->TimerOf(bad)->GetId(), badTimer);
    EXPECT_NE(ChannelDat(), saved);

    // A burst of read marks from a page is saved after the burst, with the last counts.
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
}

TEST_F(TreeTest, ClicksMoveTheSelectionTheMenuFollowsItAndTheLastDeletedItemSelectsItsChannel) {
    MakeCatalogue([](CatalogueModel& catalogue) {
        catalogue.AddChannel(catalogue.AddGroup(nullptr, L"G"), L"C", L"", L"http://127.0.0.1:1/C");
        catalogue.AddChannel(nullptr, L"c", L"", L"http://127.0.0.1:1/c")->SetCounts(0, 1);
    });
    Start();
    view->ExpandAll();
    CatalogueNode* group = Node(model->Groups()[0].get());
    CChannel* inGroup = model->Channels()[0].get();
    CChannel* channel = model->Channels()[1].get();
    auto selected = [this] { return view->NodeOf(view->GetSelection()); };
    // The context menu's commands 11600 to 11609, a separator, 11612 and 11613, in menu order,
    // for what is selected: marking read is always there (nothing selected: everything).
    auto menu = [this] {
        std::unique_ptr<wxMenu> shown(view->BuildContextMenu());
        std::string on;
        for (const wxMenuItem* item : shown->GetMenuItems())
            on += item->IsEnabled() ? '1' : '0';
        return on;
    };
    ClickAt(At(group));
    EXPECT_EQ(selected(), group);
    EXPECT_EQ(menu(), "1110100111111");
    ClickAt(At(Node(inGroup)));
    EXPECT_EQ(selected(), Node(inGroup));
    EXPECT_EQ(menu(), "0011111110111");
    // A click below every node leaves nothing selected: only adding and import are enabled.
    ClickAt(view->ClientToScreen(wxPoint(40, view->GetClientSize().y - 20)));
    EXPECT_EQ(selected(), nullptr);
    EXPECT_EQ(menu(), "1100000001111");
    // The page deleted the channel's last item: its articles go and it becomes the selection.
    view->Target()->Post(kMsgItemDeleted, 1, reinterpret_cast<platform::LParam>(channel));
    ASSERT_TRUE(PumpUntil([&] { return selected() == Node(channel); }, 2000));
    EXPECT_EQ(view->GetItemText(view->ItemOf(Node(channel))), "c(0/0)");
}

namespace {

// A square of one colour as PNG bytes.
std::string PngOf(const wxColour& colour, int side) {
    wxImage image(side, side);
    image.SetRGB(wxRect(0, 0, side, side), colour.Red(), colour.Green(), colour.Blue());
    wxMemoryOutputStream out;
    EXPECT_TRUE(image.SaveFile(out, wxBITMAP_TYPE_PNG));
    std::string bytes(out.GetSize(), '\0');
    out.CopyTo(bytes.data(), bytes.size());
    return bytes;
}

} // namespace

TEST_F(TreeTest, SiteIconsShowFromTheFeedAndTheCacheAndFailingChannelsKeepTheirImage) {
    const std::string red = PngOf(*wxRED, 32);
    // Broken or blank files decode to nothing, a proper one to 16x16.
    wxBitmap bitmap;
    EXPECT_FALSE(IconImage::Decode(red.substr(0, red.size() / 2), bitmap));
    EXPECT_FALSE(IconImage::Decode("<svg/>", bitmap));
    EXPECT_FALSE(IconImage::Decode(PngOf(*wxBLACK, 16), bitmap));
    ASSERT_TRUE(IconImage::Decode(red, bitmap));
    EXPECT_EQ(bitmap.GetWidth() * 100 + bitmap.GetHeight(), 1616);

    std::atomic<int> iconHits{0};
    TestHttpServer server;
    server.Serve("/feed.xml", "<rss version=\"2.0\"><channel><title>T</title><image><url>/red.png"
                              "</url></image><item><link>http://x/1</link></item></channel></rss>");
    server.Get("/red.png", [&](const httplib::Request&, httplib::Response& res) {
        ++iconHits;
        res.set_content(red, "image/png");
    });
    server.Start();
    uint32_t badId = 0;
    MakeCatalogue([&](CatalogueModel& catalogue) {
        catalogue.AddChannel(nullptr, L"iconic", L"",
                             platform::Utf8ToWide(server.Url("/feed.xml")));
        badId = catalogue
                    .AddChannel(nullptr, L"bad", L"",
                                L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x")
                    ->GetId();
        // A cached icon from before: shown at the start, but not while the updates fail.
        WriteFileBytes(platform::WideToUtf8(IconCache(catalogue.DataFolder()).IconPath(badId)),
                       PngOf(*wxGREEN, 16));
    });
    Start();
    CChannel* iconic = model->Channels()[0].get();
    CChannel* bad = model->Channels()[1].get();
    auto image = [&](CChannel* channel) { return view->GetItemImage(view->ItemOf(Node(channel))); };
    auto centre = [&](CChannel* channel) {
        const wxImage shown = view->GetImageList()->GetBitmap(image(channel)).ConvertToImage();
        return wxColour(shown.GetRed(8, 8), shown.GetGreen(8, 8), shown.GetBlue(8, 8));
    };
    EXPECT_EQ(image(iconic), 2);
    EXPECT_EQ(centre(bad), *wxGREEN);
    auto update = [&](CChannel* channel) {
        frame->Updates()->UpdateSelected(channel);
        return PumpUntil([&] { return frame->Updates()->RunningJobs() == 0; }, 10000);
    };
    ASSERT_TRUE(update(iconic));
    ASSERT_TRUE(update(bad));
    ASSERT_TRUE(PumpUntil([&] { return image(iconic) > 4; }, 10000));
    EXPECT_EQ(centre(iconic), *wxRED);
    EXPECT_EQ(image(bad), 4);
    EXPECT_EQ(iconHits.load(), 1);
    // Within the week the icon is not asked for again; a week later it is.
    ASSERT_TRUE(update(iconic));
    PumpEvents(300);
    EXPECT_EQ(iconHits.load(), 1);
    const std::string path =
        platform::WideToUtf8(IconCache(model->DataFolder()).IconPath(iconic->GetId()));
    struct utimbuf old {};
    old.actime = old.modtime = std::time(nullptr) - IconCache::kMaxAgeSeconds - 60;
    ASSERT_EQ(utime(path.c_str(), &old), 0);
    ASSERT_TRUE(update(iconic));
    ASSERT_TRUE(PumpUntil([&] { return iconHits.load() == 2; }, 10000));
    // At the next start the icon comes from the cache.
    ExitRSS();
    frame = Run();
    ASSERT_NE(frame, nullptr);
    view = frame->ChannelView();
    model = frame->Model();
    iconic = model->Channels()[0].get();
    EXPECT_EQ(centre(iconic), *wxRED);
    // Another address looks for its icon again; a deleted channel's icon goes.
    const CatalogueModel::PropertyValues moved{L"iconic", L"",
                                               platform::Utf8ToWide(server.Url("/other.xml")),
                                               iconic->GetMaxItems(), iconic->GetInterval()};
    model->ApplyProperties(iconic, moved);
    EXPECT_FALSE(Exists(path));
    WriteFileBytes(path, red);
    ASSERT_TRUE(model->DeleteChannel(iconic));
    EXPECT_FALSE(Exists(path));
}
