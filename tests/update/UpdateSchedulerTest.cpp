#include "../engine/FeedFixtures.h"
#include "CatalogueFixture.h"
#include "TestHttpServer.h"
#include "platform/CodePage.h"

TEST_F(CatalogueFixture, UpdatesThroughThePoolAndStopAllDuringTheWalk) {
    TestHttpServer server;
    for (int i = 0; i < 6; ++i)
        server.Serve("/f" + std::to_string(i) + ".xml", FeedXml(NumberedItems(1, 3)));
    server.Start();
    DefaultList("");
    Reopen();
    std::vector<CChannel*> channels;
    for (int i = 0; i < 6; ++i) {
        channels.push_back(
            model->AddChannel(nullptr, L"f" + std::to_wstring(i), L"",
                              platform::Utf8ToWide(server.Url("/f" + std::to_string(i) + ".xml"))));
        EXPECT_TRUE(updates->UpdateChannel(channels.back()));
        EXPECT_FALSE(updates->UpdateChannel(channels.back())); // already updating: refused
    }
    Settle();
    for (CChannel* c : channels)
        EXPECT_EQ(c->NodeText(), c->GetName() + L"(3/3)");
    EXPECT_TRUE(log.Contains(L"is being updated, please update it after the completion"));

    updates->UpdateAll();
    updates->UpdateAll();
    EXPECT_TRUE(log.Contains(L"Updating the channels now, please try later"));
    Settle();
    updates->StopAll();
    updates->UpdateAll(); // clears the stop flag and walks again
    updates->StopAll();   // the walk ends early; started jobs give up
    Settle();
    EXPECT_FALSE(updates->UpdateAllRunning());
    for (CChannel* c : channels)
        EXPECT_FALSE(c->IsUpdating());
}

TEST_F(CatalogueFixture, MessageHandlersSaveOnceAfterABurstWhenTheObserverBatches) {
    // An observer that batches: the handlers only mark the save pending.
    struct Batching : ICatalogueObserver {
        int scheduled = 0;
        bool ScheduleSave() override {
            ++scheduled;
            return true;
        }
    } batching;
    DefaultList(Opml(1, 2));
    Reopen();
    Reopen(true, &batching);
    const std::string file = app / "userdata/rss/ReadRecord/Common/Channel.dat";
    const std::string before = ReadFileBytes(file);
    CChannel* a = model->Channels()[0].get();
    CChannel* b = model->Channels()[1].get();
    a->SetCounts(3, 3);
    b->SetCounts(2, 2);
    updates->OnUpdateFinished(1, a);
    updates->OnUpdateFinished(1, b);
    model->OnItemReadChanged(1, a);
    EXPECT_EQ(batching.scheduled, 1); // one save for the burst
    EXPECT_TRUE(model->SavePending());
    EXPECT_EQ(ReadFileBytes(file), before);
    EXPECT_TRUE(model->FlushSaves());
    EXPECT_FALSE(model->SavePending());
    EXPECT_NE(ReadFileBytes(file), before);
    // A save still pending when the catalogue closes is written then.
    model->OnItemReadChanged(1, b);
    Reopen();
    EXPECT_EQ(model->Channels()[0]->NodeText().substr(model->Channels()[0]->GetName().size()),
              L"(2/3)");
    EXPECT_EQ(model->Channels()[1]->NodeText().substr(model->Channels()[1]->GetName().size()),
              L"(1/2)");
}
