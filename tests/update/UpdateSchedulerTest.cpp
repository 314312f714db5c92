#include "../engine/FeedFixtures.h"
#include "CatalogueFixture.h"
#include "TestHttpServer.h"
#include "platform/CodePage.h"
#include "update/NewItemsNotice.h"

#include <atomic>
#include <httplib.h>

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

TEST_F(CatalogueFixture, AnUpdateRunThatBringsNewItemsEndsInOneNotice) {
    struct Recorder : NoticeSink {
        std::vector<std::wstring> shown;
        void Show(const std::wstring& title, const std::wstring& body) override {
            shown.push_back(title + L"|" + body);
        }
    } sink;
    // Version 0: items 1-3 in both; later versions add items, two per version in b.
    std::atomic<int> version{0};
    TestHttpServer server;
    for (int i = 0; i < 2; ++i)
        server.Get("/f" + std::to_string(i),
                   [&version, i](const httplib::Request&, httplib::Response& response) {
                       const int v = version.load();
                       response.set_content(
                           FeedXml(NumberedItems(1, 3 + v * (i + 1)), "build " + std::to_string(v)),
                           "application/rss+xml");
                   });
    server.Start();
    DefaultList("");
    Reopen();
    updates->SetNoticeSink(&sink, {L"one", L"{items} in one", L"{items} in {channels}"});
    for (int i = 0; i < 2; ++i)
        model->AddChannel(nullptr, i ? L"b <i>&" : L"a", L"",
                          platform::Utf8ToWide(server.Url("/f" + std::to_string(i))));
    // A channel's first page brings no notice; an unchanged run neither.
    updates->UpdateAll();
    Settle();
    updates->UpdateAll();
    Settle();
    EXPECT_TRUE(sink.shown.empty());

    version = 1; // one new item in a, two in b: one notice for the run
    updates->UpdateAll();
    Settle();
    ASSERT_EQ(sink.shown.size(), 1u);
    const std::wstring shown = sink.shown[0];
    EXPECT_TRUE(shown == L"3 in 2|a, b &lt;i&gt;&amp;" || shown == L"3 in 2|b &lt;i&gt;&amp;, a")
        << platform::WideToUtf8(shown);

    version = 2;
    EXPECT_TRUE(updates->UpdateSelected(model->Channels()[0].get()));
    Settle();
    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(sink.shown[1], L"one|a");

    // Turned off in the settings: the run ends without a notice.
    ASSERT_EQ(CConfig().WriteNotifyNewItems(0), 1);
    version = 3;
    updates->UpdateAll();
    Settle();
    EXPECT_EQ(sink.shown.size(), 2u);
}

TEST(NewItemsNotice, SummaryAndNamesInTheirForms) {
    const NoticeTexts texts{L"one", L"{items} in one", L"{items} new items in {channels} channels"};
    NewItemsNotice notice;
    notice.Add(L"x", 0); // nothing new: not named
    EXPECT_TRUE(notice.Empty());
    notice.Add(L"a\x1b[31m", 4);
    EXPECT_EQ(notice.Summary(texts), L"4 in one");
    EXPECT_EQ(notice.Names(), L"a [31m");
    for (int i = 0; i < 6; ++i)
        notice.Add(L"c" + std::to_wstring(i), 2);
    EXPECT_EQ(notice.Summary(texts), L"16 new items in 7 channels");
    EXPECT_EQ(notice.Names(), L"a [31m, c0, c1, c2, c3, …");
    notice.Clear();
    EXPECT_TRUE(notice.Empty());
    EXPECT_EQ(notice.Names(), L"");
}
