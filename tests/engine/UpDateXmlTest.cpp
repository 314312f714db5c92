#include "engine/UpDateXml.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TestCertificates.h"
#include "TestHttpServer.h"
#include "TinyProxy.h"
#include "catalogue/Channel.h"
#include "config/Config.h"
#include "engine/StopFlags.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"

#include <chrono>
#include <cstdlib>
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
    // A zero byte goes alone: what follows it is read, in its block and after it.
    std::string body = "abc";
    body.push_back('\0');
    body += "kept</channel>";
    body += std::string(20000, 'y');
    body.push_back('\0');
    body += "end";
    server.Serve("/zero", body);
    server.Serve("/empty", "");
    server.Start();
    EXPECT_EQ(Get(server.Url("/zero")), 1);
    const std::string expected = "abckept</channel>" + std::string(20000, 'y') + "end";
    EXPECT_EQ(downloader.Buffer(), expected);
    Statuses();
    EXPECT_EQ(Get(server.Url("/empty")), 0);
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11722, 11722, 11723}));
    EXPECT_TRUE(log.Contains(L"The xml buffer is empty"));
    EXPECT_EQ(downloader.Buffer(), expected); // the last document stays
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
        // A type the server does not compress, so that each byte leaves at once.
        res.set_chunked_content_provider(
            "application/octet-stream", [start](size_t, httplib::DataSink& sink) {
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

namespace {

const char kFeed[] = "<rss version=\"2.0\"><channel/></rss>";

// The download tests with a CA of the test's own, which the downloader trusts.
class HttpsDownloadTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        ASSERT_TRUE(certificates.Ok()) << "openssl could not make the test certificates";
        setenv("TESSAVIN_TEST_CA_FILE", certificates.CaFile().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TESSAVIN_TEST_CA_FILE");
        DownloadTest::TearDown();
    }
    void AllowHttps(int value) { ASSERT_EQ(CConfig().WriteAllowHttps(value), 1); }

    TestCertificates certificates{app / "certs"};
};

} // namespace

TEST_F(HttpsDownloadTest, HttpsOnlyWithTheSwitchAndAVerifiedCertificate) {
    TestHttpServer good(certificates.ServerCertificate(), certificates.Key());
    good.Serve("/feed", kFeed);
    good.Start();
    // Off (the default): refused before any connection, as any other scheme.
    EXPECT_EQ(Get(good.Url("/feed")), 0);
    EXPECT_TRUE(log.Contains(L"Invalidate URL"));
    EXPECT_EQ(good.Hits(), 0);

    AllowHttps(1);
    EXPECT_EQ(Get(good.Url("/feed")), 1);
    EXPECT_EQ(downloader.Buffer(), kFeed);
    EXPECT_EQ(good.Hits(), 1);

    // Without the test's CA the system's store decides: the test CA is not in it.
    unsetenv("TESSAVIN_TEST_CA_FILE");
    EXPECT_EQ(Get(good.Url("/feed")), 0);
    EXPECT_EQ(downloader.FailureReason(), "untrusted certificate");
    EXPECT_EQ(good.Hits(), 1);
}

TEST_F(HttpsDownloadTest, UntrustedCertificateAndNameMismatchAreRefusedAtOnce) {
    AllowHttps(1);
    CConfig config;
    ASSERT_EQ(config.WriteLinkNum(3), 1); // a refusal must not be tried again
    TestHttpServer untrusted(certificates.UntrustedCertificate(), certificates.Key());
    untrusted.Serve("/feed", kFeed);
    untrusted.Start();
    EXPECT_EQ(Get(untrusted.Url("/feed")), 0);
    EXPECT_EQ(downloader.FailureReason(), "untrusted certificate");
    EXPECT_TRUE(log.Contains(L"The certificate of server 127.0.0.1 is not trusted"));
    EXPECT_FALSE(log.Contains(L"Failed to send request to web server"));
    EXPECT_EQ(untrusted.Hits(), 0);

    TestHttpServer otherName(certificates.OtherNameCertificate(), certificates.Key());
    otherName.Serve("/feed", kFeed);
    otherName.Start();
    EXPECT_EQ(Get(otherName.Url("/feed")), 0);
    EXPECT_EQ(downloader.FailureReason(), "certificate name mismatch");
    EXPECT_TRUE(log.Contains(L"The certificate of server 127.0.0.1 is for another name"));
    EXPECT_EQ(otherName.Hits(), 0);
    EXPECT_TRUE(downloader.Buffer().empty());
}

TEST_F(HttpsDownloadTest, RedirectsGoUpToHttpsOnlyWithTheSwitchAndNeverBack) {
    TestHttpServer secure(certificates.ServerCertificate(), certificates.Key());
    TestHttpServer plain;
    secure.Serve("/feed", kFeed);
    plain.Serve("/feed", "<rss version=\"2.0\"><channel><title>plain</title></channel></rss>");
    plain.Get("/up", [&secure](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(secure.Url("/feed"), 301);
    });
    plain.Get("/up-and-down", [&secure](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(secure.Url("/down"), 301);
    });
    secure.Get("/down", [&plain](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(plain.Url("/feed"), 302);
    });
    secure.Start();
    plain.Start();

    // Off: an http address stays on http, as before.
    EXPECT_EQ(Get(plain.Url("/up")), 0);
    EXPECT_EQ(downloader.FailureReason(), "HTTP 301");
    EXPECT_EQ(secure.Hits(), 0);

    AllowHttps(1);
    EXPECT_EQ(Get(plain.Url("/up")), 1);
    EXPECT_EQ(downloader.Buffer(), kFeed);
    EXPECT_EQ(secure.Hits(), 1);

    // From https to http: refused before the plain request is sent, whether the address
    // was https or an http one that went up first.
    for (const std::string& start : {secure.Url("/down"), plain.Url("/up-and-down")}) {
        const int plainHits = plain.Hits();
        EXPECT_EQ(Get(start), 0) << start;
        EXPECT_EQ(downloader.FailureReason(), "redirect from https to http") << start;
        EXPECT_EQ(plain.Hits(), plainHits + (start == plain.Url("/up-and-down") ? 1 : 0));
    }
    EXPECT_TRUE(log.Contains(L"Refused a redirect from https to http for server 127.0.0.1"));
    EXPECT_EQ(downloader.Buffer(), kFeed); // the last document received, untouched
}

TEST_F(HttpsDownloadTest, ConditionalRequestsCompressionAndUserAgent) {
    TestHttpServer server;
    std::string seenAgent, seenEncoding, seenMatch, seenSince;
    server.Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
        seenAgent = req.get_header_value("User-Agent");
        seenEncoding = req.get_header_value("Accept-Encoding");
        seenMatch = req.get_header_value("If-None-Match");
        seenSince = req.get_header_value("If-Modified-Since");
        if (seenMatch == "\"v1\"" || seenSince == "Sun, 06 Dec 2026 10:00:00 GMT") {
            res.status = 304;
            return;
        }
        res.set_header("ETag", "  \"v1\"  ");
        res.set_header("Last-Modified", "Sun, 06 Dec 2026 10:00:00 GMT");
        // A body compressed by the server (the bytes of gzip -n).
        static const char gz[] =
            "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\x29\x2a\x2e\x56\x28\x4b\x2d\x2a\xce"
            "\xcc\xcf\xb3\x55\x32\xd2\x33\x50\xb2\xb3\x49\xce\x48\xcc\xcb\x4b\xcd\xd1\xb7\xb3"
            "\xd1\x07\xca\xda\x01\x00\x96\x86\xfe\x8e\x23\x00\x00\x00";
        res.set_header("Content-Encoding", "gzip");
        res.set_content(std::string(gz, sizeof gz - 1), "application/octet-stream");
    });
    server.Start();

    EXPECT_EQ(Get(server.Url("/feed")), 1);
    EXPECT_EQ(downloader.Buffer(), kFeed);
    EXPECT_EQ(seenAgent.rfind("Tessavin/", 0), 0u) << seenAgent;
    EXPECT_GT(seenAgent.size(), std::string("Tessavin/").size());
    EXPECT_NE(seenEncoding.find("gzip"), std::string::npos);
    EXPECT_NE(seenEncoding.find("deflate"), std::string::npos);
    EXPECT_EQ(seenMatch, "");
    const HttpValidators received = downloader.ResponseValidators();
    EXPECT_EQ(received.url, server.Url("/feed"));
    EXPECT_EQ(received.etag, "\"v1\"");
    EXPECT_EQ(received.lastModified, "Sun, 06 Dec 2026 10:00:00 GMT");

    // Sent back, they bring a 304: nothing to read.
    downloader.SetValidators(received);
    EXPECT_EQ(Get(server.Url("/feed")), CUpDateXml::kNotModified);
    EXPECT_EQ(seenMatch, "\"v1\"");
    EXPECT_EQ(seenSince, "Sun, 06 Dec 2026 10:00:00 GMT");
    EXPECT_TRUE(log.Contains(L"The document of channel News is not modified"));

    // A 304 to a request that sent no validators is a failure, as any status but 200.
    HttpValidators none;
    downloader.SetValidators(none);
    TestHttpServer odd;
    odd.Get("/feed", [](const httplib::Request&, httplib::Response& res) { res.status = 304; });
    odd.Start();
    EXPECT_EQ(Get(odd.Url("/feed")), 0);
    EXPECT_EQ(downloader.FailureReason(), "HTTP 304");
}
