#include "engine/UpDateXml.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "TinyProxy.h"
#include "catalogue/Channel.h"
#include "config/Config.h"
#include "engine/StopFlags.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"

#include <chrono>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

namespace {

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "rss/RssUserCfg");
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
        stopFlag = false;
        channel.SetName(L"News");
        downloader.SetChannel(&channel);
    }
    void TearDown() override { stopFlag = false; }
    int Get(const std::string& url, int importMode = 0) {
        return downloader.DownLoadXmlbuf(platform::Utf8ToWide(url), importMode);
    }
    std::vector<unsigned> Statuses() {
        std::vector<unsigned> codes;
        for (const auto& m : frame.Drain())
            codes.push_back(static_cast<unsigned>(m.wParam));
        return codes;
    }

    TempDir app;
    LogCapture log{app.Path()};
    CChannel channel;
    platform::MessageQueue frame;
    CUpDateXml downloader{&frame};
};

} // namespace

TEST_F(DownloadTest, BodyOfA200AndTheStatusSequence) {
    TestHttpServer server;
    server.Serve("/feed", "<rss version=\"2.0\"/>");
    server.Start();
    EXPECT_EQ(Get(server.Url("/feed")), 1);
    EXPECT_EQ(downloader.Buffer(), "<rss version=\"2.0\"/>");
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11722, 11722, 11724}));
    EXPECT_TRUE(log.Contains(L"Secceed to connect web server for News"));
    EXPECT_TRUE(
        log.Contains(L"Succeed to download xml data stream from web server for channel News"));
    // Import mode names no channel.
    EXPECT_EQ(Get(server.Url("/feed"), 1), 1);
    EXPECT_TRUE(log.Contains(L"Secceed to connect web server for download feed file"));
    EXPECT_TRUE(log.Contains(L"Succeed to download feed xml data stream from web server"));
}

TEST_F(DownloadTest, StatusCodesOtherThan200) {
    TestHttpServer server;
    server.Get("/gone", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    server.Get("/empty204",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server.Get("/secure", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("https://127.0.0.1/feed", 301);
    });
    server.Serve("/feed", "moved here");
    server.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/feed", 301);
    });
    server.Start();
    EXPECT_EQ(Get(server.Url("/gone")), 0);
    EXPECT_TRUE(log.Contains(L"The server 127.0.0.1 has not found anything matching the requested "
                             L"URI (Uniform Resource Identifier)"));
    EXPECT_EQ(Get(server.Url("/empty204")), 0);
    EXPECT_EQ(Get(server.Url("/secure")), 0); // a redirect to https is not followed
    EXPECT_EQ(log.Count(L"Other web error in CUpDateXml::DownLoadXmlbuf()"), 2u);
    Statuses();
    EXPECT_EQ(Get(server.Url("/moved")), 1); // to http: followed
    EXPECT_EQ(downloader.Buffer(), "moved here");
}

TEST_F(DownloadTest, ZeroByteAndEmptyBody) {
    TestHttpServer server;
    std::string body = "abc";
    body.push_back('\0');
    body += "lost in this block";
    body += std::string(CUpDateXml::kBlockSize - body.size(), 'y'); // the first block ends
    body += "next block";
    server.Serve("/zero", body);
    server.Serve("/empty", "");
    server.Start();
    EXPECT_EQ(Get(server.Url("/zero")), 1);
    EXPECT_EQ(downloader.Buffer(), "abcnext block");
    Statuses();
    EXPECT_EQ(Get(server.Url("/empty")), 0);
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11722, 11722, 11723}));
    EXPECT_TRUE(log.Contains(L"The xml buffer is empty"));
    EXPECT_EQ(downloader.Buffer(), "abcnext block"); // the last document stays
}

TEST_F(DownloadTest, StalledServerEndsAfterTheTimeOutOfEachSend) {
    CConfig config;
    ASSERT_EQ(config.WriteLinkTime(2), 1); // 1000 ms
    StallingServer server;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/feed"), 0);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1900)); // two sends of 1000 ms
    EXPECT_LT(elapsed, std::chrono::seconds(8));
    EXPECT_EQ(log.Count(L"Failed to send request to web server 127.0.0.1"), 2u);
    EXPECT_TRUE(log.Contains(L"Beyond the maximum connection times set by configuration files"));
}

TEST_F(DownloadTest, UnreachableServerIsTriedLinkNumPlusOneTimes) {
    CConfig config;
    ASSERT_EQ(config.WriteLinkNum(3), 1);
    EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/feed"), 0);
    EXPECT_EQ(log.Count(L"Failed to send request to web server 127.0.0.1"), 4u);
    EXPECT_EQ(log.Count(L"Beyond the maximum connection times set by configuration files"), 1u);
    EXPECT_TRUE(Statuses().empty());
}

TEST_F(DownloadTest, StopFlagEndsTheRetriesBeforeTheNextSend) {
    CConfig config;
    ASSERT_EQ(config.WriteLinkNum(5), 1);
    ASSERT_EQ(config.WriteLinkTime(2), 1);
    StallingServer server;
    std::thread stopper([&server] {
        while (server.Accepted() < 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        stopFlag = true;
    });
    EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/feed"), 2);
    stopper.join();
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_FALSE(log.Contains(L"Beyond the maximum"));
    // Import mode ignores the flag.
    EXPECT_EQ(Get("ftp://127.0.0.1/x", 1), 0);
    EXPECT_TRUE(log.Contains(L"Invalidate URL"));
    // A download that starts while the flag is set does nothing.
    EXPECT_EQ(Get("http://127.0.0.1:1/feed"), 2);
}

TEST_F(DownloadTest, OnlyHttpAddresses) {
    EXPECT_EQ(Get("https://127.0.0.1/feed"), 0);
    EXPECT_EQ(Get("ftp://127.0.0.1/feed"), 0);
    EXPECT_EQ(log.Count(L"Invalidate URL"), 2u);
    EXPECT_EQ(Get("not an address"), 0);
    EXPECT_TRUE(log.Contains(L"Failed to parse URL"));
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11721, 11721, 11721}));
    EXPECT_FALSE(log.Contains(L"Failed to send request"));
}

TEST_F(DownloadTest, ProxySwitchedOnWithoutAnAddress) {
    CConfig config;
    ASSERT_EQ(config.WriteProxyState(1), 1);
    ASSERT_EQ(config.WriteProxyPort(3128), 1);
    EXPECT_EQ(Get("http://127.0.0.1/feed"), 0);
    EXPECT_TRUE(log.Contains(L"Failed to set Internet proxy information"));
    EXPECT_TRUE(Statuses().empty());
}

TEST_F(DownloadTest, ThroughTinyproxyWithBasicAuthentication) {
    TinyProxy proxy(app.Path(), "reader", "s3cret");
    ASSERT_TRUE(proxy.Running()) << "tinyproxy did not start";
    TestHttpServer server;
    server.Serve("/feed", "via proxy");
    server.Start();
    CConfig config;
    ASSERT_EQ(config.WriteProxyState(1), 1);
    ASSERT_EQ(config.WriteProxyAddress(L"127.0.0.1"), 1);
    ASSERT_EQ(config.WriteProxyPort(proxy.Port()), 1);
    ASSERT_EQ(config.WriteUserName(L"reader"), 1);
    ASSERT_EQ(config.WriteUserPassword(L"s3cret"), 1);
    EXPECT_EQ(Get(server.Url("/feed")), 1);
    EXPECT_EQ(downloader.Buffer(), "via proxy");

    ASSERT_EQ(config.WriteUserPassword(L"wrong"), 1);
    EXPECT_EQ(Get(server.Url("/feed")), 0); // tinyproxy answers 401
    EXPECT_TRUE(log.Contains(L"Other web error in CUpDateXml::DownLoadXmlbuf()"));

    ASSERT_EQ(config.WriteUserName(L""), 1);
    ASSERT_EQ(config.WriteUserPassword(L""), 1);
    Statuses();
    EXPECT_EQ(Get(server.Url("/feed")), 0); // no login: 407
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11722, 11720}));
    EXPECT_TRUE(log.Contains(L"Failed to set proxy info"));
}

namespace {

// Routes that never end: /flood streams 64 KiB chunks as fast as it can, /trickle sends a
// byte every 100 ms. Both stop when the client goes (or after 60 s at the most).
void AddEndlessRoutes(TestHttpServer& server) {
    server.Get("/flood", [](const httplib::Request&, httplib::Response& res) {
        auto start = std::make_shared<std::chrono::steady_clock::time_point>(
            std::chrono::steady_clock::now());
        res.set_chunked_content_provider("text/xml", [start](size_t, httplib::DataSink& sink) {
            static const std::string chunk(64 * 1024, 'x');
            return std::chrono::steady_clock::now() - *start < std::chrono::seconds(60) &&
                   sink.write(chunk.data(), chunk.size());
        });
    });
    server.Get("/trickle", [](const httplib::Request&, httplib::Response& res) {
        auto start = std::make_shared<std::chrono::steady_clock::time_point>(
            std::chrono::steady_clock::now());
        res.set_chunked_content_provider("text/xml", [start](size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return std::chrono::steady_clock::now() - *start < std::chrono::seconds(60) &&
                   sink.write("x", 1);
        });
    });
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST_F(DownloadTest, EndlessDocumentsAreCutBySizeAndTime) {
    TestHttpServer server;
    AddEndlessRoutes(server);
    server.Start();
    CConfig config;
    ASSERT_EQ(config.WriteLinkTime(2), 1); // 1000 ms idle; 4000 ms for a whole attempt
    // Past the size cap the download fails with its own line and keeps nothing.
    downloader.SetLimits(1 << 20, 0);
    EXPECT_EQ(Get(server.Url("/flood")), 0);
    EXPECT_TRUE(log.Contains(L"is larger than 1048576 bytes"));
    EXPECT_EQ(downloader.FailureReason(), "document too large");
    EXPECT_TRUE(downloader.Buffer().empty());
    // A server that trickles is never idle for a second, and still ends with the attempt.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(server.Url("/trickle")), 0);
    EXPECT_GE(SecondsSince(start), 3.5);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(downloader.FailureReason(), "timed out");
}

TEST_F(DownloadTest, StopEndsARunningTransferWithinASecond) {
    TestHttpServer server;
    AddEndlessRoutes(server);
    server.Start();
    CConfig config;
    ASSERT_EQ(config.WriteLinkTime(20), 1); // no time-out before the stop
    std::chrono::steady_clock::time_point stopped;
    std::thread stopper([&stopped] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        stopped = std::chrono::steady_clock::now();
        stopFlag = true;
    });
    EXPECT_EQ(Get(server.Url("/trickle")), 2);
    stopper.join();
    EXPECT_LT(SecondsSince(stopped), 1.0);
}
