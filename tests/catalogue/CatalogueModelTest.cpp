#include "catalogue/CatalogueModel.h"
#include "../engine/FeedFixtures.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "config/Config.h"
#include "engine/StopFlags.h"
#include "engine/ThreadPool.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

// Nodes as "g<id>(children...)" / "c<id>", in tree order.
std::string Shape(const std::vector<CatalogueNode*>& nodes) {
    std::ostringstream out;
    for (CatalogueNode* n : nodes) {
        if (n->group)
            out << "g" << n->group->GetId() << "(" << Shape(n->children) << ")";
        else
            out << "c" << n->channel->GetId();
        out << " ";
    }
    return out.str();
}

std::string Opml(int groups, int channelsPerGroup) {
    std::string body;
    for (int g = 0; g < groups; ++g) {
        body += "<outline kind=\"nkPath\" text=\"G" + std::to_string(g) + "\">";
        for (int c = 0; c < channelsPerGroup; ++c)
            body += "<outline kind=\"nkFeed\" text=\"C\" xmlUrl=\"http://x/" + std::to_string(g) +
                    "/" + std::to_string(c) + "\"/>";
        body += "</outline>";
    }
    return "<opml version=\"1.0\"><body>" + body + "</body></opml>";
}

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        stopFlag = false;
        exitFlag = false;
        UseAppDirectory(app);
        MakeFolders(app / "rss/RssUserCfg");
        CConfig().PrepareDataFolders();
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
        WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", Opml(1, 1));
    }
    void TearDown() override {
        Reopen(false);
        stopFlag = false;
        exitFlag = false;
    }
    // Closes the model (pool first, as the owner must) and opens a new one.
    void Reopen(bool open = true) {
        if (model)
            model->Close();
        pool.reset();
        model.reset();
        stopFlag = false;
        exitFlag = false;
        if (!open)
            return;
        pool = std::make_unique<CThreadPool>(3);
        CatalogueModel::Targets targets;
        targets.view = &view;
        targets.frame = &frame;
        model = std::make_unique<CatalogueModel>(nullptr, targets, pool.get());
        ASSERT_TRUE(model->Open());
    }
    // Handles view messages until no update runs.
    void Settle() {
        for (int i = 0; i < 1000; ++i) {
            platform::PostedMessage m;
            if (view.WaitNext(m, 10))
                model->HandleMessage(m);
            if (!model->UpdateAllRunning() && model->RunningJobs() == 0 && view.Size() == 0)
                return;
        }
        FAIL() << "updates did not end";
    }

    TempDir app;
    LogCapture log{app.Path()};
    platform::MessageQueue view, frame;
    std::unique_ptr<CThreadPool> pool;
    std::unique_ptr<CatalogueModel> model;
};

} // namespace

TEST_F(ModelTest, DefaultListOnFirstStartOnly) {
    Reopen();
    EXPECT_EQ(Shape(model->TopLevel()), "g1(c1 ) ");
    EXPECT_EQ(model->LastGroupId(), 1u);
    EXPECT_EQ(model->LastChannelId(), 1u);
    EXPECT_TRUE(log.Contains(L"Succeed to import feed from file or web"));
    Reopen(); // loaded again, not imported again
    EXPECT_EQ(model->Channels().size(), 1u);
    EXPECT_EQ(log.Count(L"Succeed to import feed from file or web"), 1u);
}

TEST_F(ModelTest, ImportMergeGivesConsecutiveIds) {
    WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    Reopen(); // the empty default list fails to import and skips ids 1 and 1
    EXPECT_EQ(model->LastGroupId(), 1u);
    EXPECT_EQ(model->LastChannelId(), 1u);
    for (int i = 0; i < 3; ++i)
        model->AddGroup(nullptr, L"g");
    for (int i = 0; i < 19; ++i)
        model->AddChannel(nullptr, L"c" + std::to_wstring(i), L"",
                          L"http://127.0.0.1:1/" + std::to_wstring(i));
    Settle();
    ASSERT_EQ(model->LastGroupId(), 4u);
    ASSERT_EQ(model->LastChannelId(), 20u);
    std::string list = Opml(3, 3);
    list.insert(list.find("</body>"), "<outline kind=\"nkFeed\" text=\"T\" xmlUrl=\"http://t/\"/>");
    WriteFileBytes(app / "list.opml", list);
    ASSERT_EQ(model->Import(app.WPath() + L"list.opml", nullptr), 1);
    EXPECT_EQ(model->LastGroupId(), 7u);
    EXPECT_EQ(model->LastChannelId(), 30u);
    EXPECT_NE(model->FindGroup(5), nullptr);
    EXPECT_NE(model->FindGroup(7), nullptr);
    EXPECT_EQ(model->FindChannel(21)->GetGroupId(), 5u);
    EXPECT_EQ(model->FindChannel(30)->GetGroupId(), 0u);
    EXPECT_EQ(model->FindChannel(21)->GetFileStem(), L"rss21");
    // A failed import skips one id of each kind; an empty list as well.
    EXPECT_EQ(model->Import(app.WPath() + L"missing.opml", nullptr), 0);
    WriteFileBytes(app / "empty.opml", "<opml version=\"1.0\"><body></body></opml>");
    EXPECT_EQ(model->Import(app.WPath() + L"empty.opml", nullptr), 2);
    EXPECT_EQ(model->LastGroupId(), 9u);
    EXPECT_EQ(model->LastChannelId(), 32u);
    // With a group as parent, its top-level groups hang under it.
    CGroup* under = model->AddGroup(nullptr, L"under");
    std::string one = Opml(1, 1); // a channel not in the catalogue yet
    one.replace(one.find("http://x/"), 9, "http://y/");
    WriteFileBytes(app / "one.opml", one);
    ASSERT_EQ(model->Import(app.WPath() + L"one.opml", under), 1);
    EXPECT_EQ(model->Groups().back()->GetParentId(), under->GetId());
    Reopen();
    EXPECT_EQ(model->Channels().size(), 30u);
    EXPECT_EQ(model->LastChannelId(), 33u);
}

TEST_F(ModelTest, DeletingAGroupStopsAtAnUpdatingChannelAndSavesBoth) {
    WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    Reopen();
    CGroup* top = model->AddGroup(nullptr, L"Top");
    CGroup* inner = model->AddGroup(top, L"Inner");
    CChannel* a = model->AddChannel(inner, L"a", L"", L"http://127.0.0.1:1/a");
    CChannel* b = model->AddChannel(top, L"b", L"", L"http://127.0.0.1:1/b");
    Settle();
    model->AddChannel(top, L"c", L"", L"http://127.0.0.1:1/c");
    Settle();
    // Ids 1 were skipped by the failed import of the empty default list.
    EXPECT_EQ(Shape(model->TopLevel()), "g2(g3(c2 ) c3 c4 ) ");
    b->SetUpdating(true); // an update runs for b
    EXPECT_FALSE(model->Delete(CatalogueModel::NodeOf(top)));
    EXPECT_TRUE(log.Contains(L"The channel b is being updated, Can't delete it"));
    EXPECT_EQ(Shape(model->TopLevel()), "g2(c3 c4 ) "); // a and Inner went first
    b->SetUpdating(false);
    (void)a;
    Reopen();
    EXPECT_EQ(Shape(model->TopLevel()), "g2(c3 c4 ) ");
    EXPECT_EQ(model->FindGroup(3), nullptr);
}

TEST_F(ModelTest, MovesWithTheirRefusalsSurviveAReload) {
    WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    Reopen();
    CGroup* g1 = model->AddGroup(nullptr, L"one");
    CGroup* g2 = model->AddGroup(g1, L"two");
    CGroup* g3 = model->AddGroup(nullptr, L"three");
    CChannel* c1 = model->AddChannel(g2, L"x", L"", L"http://127.0.0.1:1/x");
    Settle();
    using R = CatalogueModel::MoveResult;
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g1), g1), R::kOntoItself);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g1), g2), R::kIntoOwnSubtree);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g3), nullptr), R::kAlreadyTopLevel);
    // one(two(x)) moves under three, which stands after it in the group list.
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g1), g3), R::kMoved);
    EXPECT_EQ(Shape(model->TopLevel()), "g4(g2(g3(c2 ) ) ) ");
    EXPECT_EQ(g1->GetParentId(), 4u);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(c1), nullptr), R::kMoved);
    EXPECT_EQ(c1->GetGroupId(), 0u);
    Reopen(); // the group list keeps every group after its parent
    EXPECT_EQ(Shape(model->TopLevel()), "g4(g2(g3() ) ) c2 ");
    EXPECT_EQ(model->Groups()[0]->GetId(), 4u);
    // A node dropped under a parent stands last there, and still does after a reload.
    CGroup* g5 = model->AddGroup(nullptr, L"five");
    CGroup* g6 = model->AddGroup(g5, L"six");
    CChannel* c6 = model->AddChannel(nullptr, L"y", L"", L"http://127.0.0.1:1/y");
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(model->FindGroup(4)), g5), R::kMoved);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(model->FindChannel(2)), g5), R::kMoved);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(c6), g5), R::kMoved);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(model->FindChannel(2)), g5), R::kMoved);
    const std::string shape = Shape(model->TopLevel());
    EXPECT_EQ(shape, "g" + std::to_string(g5->GetId()) + "(g" + std::to_string(g6->GetId()) +
                         "() g4(g2(g3() ) ) c" + std::to_string(c6->GetId()) + " c2 ) ");
    Reopen();
    EXPECT_EQ(Shape(model->TopLevel()), shape);
}

TEST_F(ModelTest, CountHandlersAtTheirBounds) {
    WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    Reopen();
    CChannel* c = model->AddChannel(nullptr, L"n", L"", L"http://127.0.0.1:1/n");
    Settle();
    c->SetCounts(5, 5);
    model->OnItemReadChanged(0, c); // all unread already
    EXPECT_EQ(c->NodeText(), L"n(5/5)");
    model->OnItemReadChanged(1, c);
    EXPECT_EQ(c->NodeText(), L"n(4/5)");
    c->SetCounts(0, 5);
    model->OnItemReadChanged(1, c);
    EXPECT_EQ(c->NodeText(), L"n(0/5)");
    model->OnItemDeleted(0, c); // an unread one, but none is unread: nothing
    EXPECT_EQ(c->NodeText(), L"n(0/5)");
    model->OnItemDeleted(1, c);
    EXPECT_EQ(c->NodeText(), L"n(0/4)");
    c->SetCounts(0, 1);
    WriteFileBytes(platform::WideToUtf8(model->PagePath(c)), "page");
    WriteFileBytes(platform::WideToUtf8(model->StatePath(c)), "F100   x\n");
    std::string validators = platform::WideToUtf8(model->PagePath(c));
    validators.replace(validators.size() - 4, 4, "http");
    WriteFileBytes(validators, "validators 1\nurl=http://127.0.0.1:1/n\netag=x\nmodified=\n");
    c->SetLastBuildDate("d");
    model->OnItemDeleted(1, c); // the last item: articles go
    EXPECT_EQ(c->NodeText(), L"n(0/0)");
    EXPECT_FALSE(Exists(platform::WideToUtf8(model->PagePath(c))));
    EXPECT_FALSE(Exists(platform::WideToUtf8(model->StatePath(c))));
    EXPECT_FALSE(Exists(validators)); // else the next update would be "not modified"
    EXPECT_EQ(c->GetLastBuildDate(), "");
    model->OnItemDeleted(1, c); // nothing left
    EXPECT_EQ(c->NodeText(), L"n(0/0)");
    const uint32_t id = c->GetId();
    Reopen();
    EXPECT_EQ(model->FindChannel(id)->NodeText(), L"n(0/0)");
}

TEST_F(ModelTest, UpdatesThroughThePoolAndStopAllDuringTheWalk) {
    TestHttpServer server;
    for (int i = 0; i < 6; ++i)
        server.Serve("/f" + std::to_string(i) + ".xml", FeedXml(NumberedItems(1, 3)));
    server.Start();
    WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    Reopen();
    std::vector<CChannel*> channels;
    for (int i = 0; i < 6; ++i) {
        channels.push_back(
            model->AddChannel(nullptr, L"f" + std::to_wstring(i), L"",
                              platform::Utf8ToWide(server.Url("/f" + std::to_string(i) + ".xml"))));
        EXPECT_FALSE(model->UpdateChannel(channels.back())); // already updating: refused
    }
    Settle();
    for (CChannel* c : channels)
        EXPECT_EQ(c->NodeText(), c->GetName() + L"(3/3)");
    EXPECT_TRUE(log.Contains(L"is being updated, please update it after the completion"));

    model->UpdateAll();
    model->UpdateAll();
    EXPECT_TRUE(log.Contains(L"Updating the channels now, please try later"));
    Settle();
    model->StopAll();
    model->UpdateAll(); // clears the stop flag and walks again
    model->StopAll();   // the walk ends early; started jobs give up
    Settle();
    EXPECT_FALSE(model->UpdateAllRunning());
    for (CChannel* c : channels)
        EXPECT_FALSE(c->IsUpdating());
}

TEST_F(ModelTest, MessageHandlersSaveOnceAfterABurstWhenTheObserverBatches) {
    // An observer that batches: the handlers only mark the save pending.
    struct Batching : ICatalogueObserver {
        int scheduled = 0;
        bool ScheduleSave() override {
            ++scheduled;
            return true;
        }
    } batching;
    WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", Opml(1, 2));
    Reopen();
    model->Close();
    pool.reset();
    model = std::make_unique<CatalogueModel>(&batching, CatalogueModel::Targets{}, nullptr);
    ASSERT_TRUE(model->Open());
    const std::string file = app / "userdata/rss/ReadRecord/Common/Channel.dat";
    const std::string before = ReadFileBytes(file);
    CChannel* a = model->Channels()[0].get();
    CChannel* b = model->Channels()[1].get();
    a->SetCounts(3, 3);
    b->SetCounts(2, 2);
    model->OnUpdateFinished(1, a);
    model->OnUpdateFinished(1, b);
    model->OnItemReadChanged(1, a);
    EXPECT_EQ(batching.scheduled, 1); // one save for the burst
    EXPECT_TRUE(model->SavePending());
    EXPECT_EQ(ReadFileBytes(file), before);
    EXPECT_TRUE(model->FlushSaves());
    EXPECT_FALSE(model->SavePending());
    EXPECT_NE(ReadFileBytes(file), before);
    // A save still pending when the catalogue closes is written then.
    model->OnItemReadChanged(1, b);
    model->Close();
    model.reset();
    Reopen();
    EXPECT_EQ(model->Channels()[0]->NodeText().substr(model->Channels()[0]->GetName().size()),
              L"(2/3)");
    EXPECT_EQ(model->Channels()[1]->NodeText().substr(model->Channels()[1]->GetName().size()),
              L"(1/2)");
}

TEST_F(ModelTest, AListImportedUnderAGroupGoesWholeUnderItAndTwiceAddsNothing) {
    WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", "");
    Reopen();
    CGroup* target = model->AddGroup(nullptr, L"Target");
    const std::string list =
        "<opml version=\"2.0\"><body><outline text=\"Folder\"><outline text=\"in\" "
        "xmlUrl=\"http://127.0.0.1:1/in\"/></outline><outline text=\"top\" "
        "xmlUrl=\"http://127.0.0.1:1/top\"/></body></opml>";
    WriteFileBytes(app / "list.opml", list);
    ASSERT_EQ(model->Import(app.WPath() + L"list.opml", target), 1);
    EXPECT_EQ(Shape(model->TopLevel()), "g2(g3(c2 ) c3 ) "); // (the empty default list took 1)
    EXPECT_EQ(model->LastImport().channels, 2u);
    // The same list again: every channel is present already, so nothing is added.
    ASSERT_EQ(model->Import(app.WPath() + L"list.opml", nullptr), 1);
    EXPECT_EQ(model->LastImport().channels, 0u);
    EXPECT_EQ(model->LastImport().alreadyPresent, 2u);
    EXPECT_TRUE(log.Contains(L"imported 0 groups and 0 channels, 2 already present"));
    EXPECT_EQ(model->Channels().size(), 2u);
    EXPECT_EQ(model->Groups().size(), 2u);
    // A folder of the list goes into the group of its name under the same parent only.
    WriteFileBytes(app / "more.opml",
                   "<opml version=\"2.0\"><body><outline text=\"Folder\"><outline text=\"new\" "
                   "xmlUrl=\"http://127.0.0.1:1/new\"/><outline text=\"js\" "
                   "xmlUrl=\"javascript:x\"/></outline><outline text=\"Target\"><outline "
                   "text=\"t\" xmlUrl=\"http://127.0.0.1:1/t\"/></outline></body></opml>");
    ASSERT_EQ(model->Import(app.WPath() + L"more.opml", target), 1);
    EXPECT_EQ(Shape(model->TopLevel()), "g2(g3(c2 c4 ) c3 g4(c5 ) ) ");
    ASSERT_EQ(model->Import(app.WPath() + L"more.opml", nullptr), 1);
    EXPECT_EQ(model->LastImport().alreadyPresent, 2u);
    EXPECT_EQ(model->LastImport().notHttp, 1u);
    // Ids go on from where they were.
    EXPECT_EQ(model->AddGroup(nullptr, L"next")->GetId(), 5u);
    Settle();
}
