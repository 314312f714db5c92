#include "engine/UpdateJob.h"
#include "FeedFixtures.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "catalogue/Channel.h"
#include "config/Config.h"
#include "engine/StopFlags.h"
#include "engine/ThreadPool.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <httplib.h>

namespace {

class UpdateJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        stopFlag = false;
        exitFlag = false;
        UseAppDirectory(app);
        MakeFolders(app / "rss/RssUserCfg");
        MakeFolders(app / "data");
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
        server.Serve("/feed.xml", FeedXml(NumberedItems(1, 3), "build-1"));
        server.Start();
        channel.SetId(3);
        channel.SetName(L"Loop");
        channel.SetFileStem(L"rss3");
        channel.SetUrl(platform::Utf8ToWide(server.Url("/feed.xml")));
    }
    // Runs one job on the pool and waits for its 11901; returns wParam.
    int RunJob(const std::wstring& dataFolder) {
        CUpdateJob job(&channel, dataFolder, &view, &frame);
        pool.Submit(&job, static_cast<platform::MessageTarget*>(&view));
        platform::PostedMessage m;
        EXPECT_TRUE(view.WaitNext(m, 10000));
        EXPECT_EQ(m.message, 11901u);
        EXPECT_EQ(m.lParam, reinterpret_cast<platform::LParam>(&channel));
        // The worker may still be leaving Run; the job is deleted by its owner afterwards.
        while (pool.BusyCount() != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return static_cast<int>(m.wParam);
    }
    std::vector<unsigned> Statuses() {
        std::vector<unsigned> codes;
        for (const auto& m : frame.Drain())
            codes.push_back(static_cast<unsigned>(m.wParam));
        return codes;
    }

    TempDir app;
    LogCapture log{app.Path()};
    TestHttpServer server;
    CChannel channel;
    platform::MessageQueue view, frame;
    CThreadPool pool{2};
};

} // namespace

TEST_F(UpdateJobTest, FirstUpdateThenAnUnchangedOne) {
    EXPECT_EQ(RunJob(app.WPath() + L"data"), 1);
    EXPECT_TRUE(Exists(app / "data/rss3.html"));
    EXPECT_EQ(ReadFileBytes(app / "data/rss3.flg"),
              "F000   http://example.com/1\nF000   http://example.com/2\n"
              "F000   http://example.com/3\n");
    EXPECT_EQ(channel.NodeText(), L"Loop(3/3)");
    EXPECT_EQ(channel.GetLastUpdated().size(), 19u);
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11722, 11722, 11724, 11732}));

    channel.SetCounts(1, 3); // the reader read two
    EXPECT_EQ(RunJob(app.WPath() + L"data"), 1);
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11722, 11722, 11724, 11732}));
    EXPECT_EQ(channel.NodeText(), L"Loop(1/3)");
    EXPECT_EQ(server.Hits(), 2);
}

TEST_F(UpdateJobTest, FailuresEndWithFinishedZero) {
    // No place for the state file: ends before any network access.
    EXPECT_EQ(RunJob(app.WPath() + L"missing"), 0);
    EXPECT_TRUE(log.Contains(L"Failed to create channel flag file"));
    EXPECT_EQ(server.Hits(), 0);
    EXPECT_TRUE(Statuses().empty());

    channel.SetUrl(platform::Utf8ToWide(server.Url("/nothing")));
    EXPECT_EQ(RunJob(app.WPath() + L"data"), 0);
    EXPECT_TRUE(log.Contains(L"Failed to update channel Loop"));
    EXPECT_EQ(Statuses().back(), 11744u);

    stopFlag = true;
    EXPECT_EQ(RunJob(app.WPath() + L"data"), 0);
    EXPECT_TRUE(log.Contains(L"Terminate update channel Loop by user"));
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11744}));
    stopFlag = false;
}

TEST_F(UpdateJobTest, NotModifiedLeavesPageStateAndCountsAndBadValidatorsAreIgnored) {
    TestHttpServer conditional;
    std::vector<std::string> sent; // If-None-Match of each request
    conditional.Get("/c.xml", [&sent](const httplib::Request& req, httplib::Response& res) {
        sent.push_back(req.get_header_value("If-None-Match"));
        if (sent.back() == "\"e1\"") {
            res.status = 304;
            return;
        }
        res.set_header("ETag", "\"e1\"");
        res.set_content(FeedXml(NumberedItems(1, 3), "build-1"), "application/rss+xml");
    });
    conditional.Start();
    const std::string url = conditional.Url("/c.xml");
    channel.SetUrl(platform::Utf8ToWide(url));
    const std::wstring data = app.WPath() + L"data";
    const std::string validators = app / "data/rss3.http";
    const std::string golden = "validators 1\nurl=" + url + "\netag=\"e1\"\nmodified=\n";

    EXPECT_EQ(RunJob(data), 1);
    EXPECT_EQ(ReadFileBytes(validators), golden);
    const std::string page = ReadFileBytes(app / "data/rss3.html");
    const std::string state = ReadFileBytes(app / "data/rss3.flg");
    channel.SetCounts(1, 3); // the reader read two
    channel.SetLastUpdated(L"");
    Statuses();

    {
        CUpdateJob job(&channel, data, &view, &frame);
        pool.Submit(&job, static_cast<platform::MessageTarget*>(&view));
        platform::PostedMessage m;
        ASSERT_TRUE(view.WaitNext(m, 10000));
        EXPECT_EQ(m.wParam, 1u);
        while (pool.BusyCount() != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(job.GetOutcome(), CUpdateJob::Outcome::kUnchanged);
    }
    EXPECT_EQ(sent.back(), "\"e1\"");
    EXPECT_EQ(ReadFileBytes(app / "data/rss3.html"), page);
    EXPECT_EQ(ReadFileBytes(app / "data/rss3.flg"), state);
    EXPECT_EQ(channel.NodeText(), L"Loop(1/3)");
    EXPECT_EQ(channel.GetLastUpdated().size(), 19u);
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11722, 11722, 11724, 11732}));

    // A damaged file (cut short, a value with a line break, another address) is ignored:
    // the document comes whole and the file is written again.
    for (const std::string& bad :
         {golden.substr(0, golden.size() - 1),
          "validators 1\nurl=" + url + "\netag=\"e1\"\r\nmodified=\n",
          std::string("validators 1\nurl=http://elsewhere/\netag=\"e1\"\nmodified=\n"),
          std::string("\0\0", 2)}) {
        WriteFileBytes(validators, bad);
        EXPECT_EQ(RunJob(data), 1);
        EXPECT_EQ(sent.back(), "");
        EXPECT_EQ(ReadFileBytes(validators), golden);
    }
    // Without its page the validators stand for nothing.
    std::remove((app / "data/rss3.html").c_str());
    EXPECT_EQ(RunJob(data), 1);
    EXPECT_EQ(sent.back(), "");
}
