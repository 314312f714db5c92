#include "engine/UpDateXml.h"
#include "FeedFixtures.h"
#include "LogCapture.h"
#include "ScopedCaFile.h"
#include "TempDir.h"
#include "TestCertificates.h"
#include "TestHttpServer.h"
#include "TinyProxy.h"
#include "catalogue/Channel.h"
#include "config/Config.h"
#include "engine/HttpValidators.h"
#include "engine/StopToken.h"
#include "engine/ThreadPool.h"
#include "engine/UpdateJob.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/MessageQueue.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
const char kFeed[] = "<rss version=\"2.0\"><channel/></rss>";
const char kItemFeed[] =
    "<rss version=\"2.0\"><channel><item><link>http://example.com/1</link></item></channel></rss>";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Handlers that answer with a status only, or with a redirect to a path (of another
// server when one is given).
TestHttpServer::Handler Status(int status) {
    return [status](const httplib::Request&, httplib::Response& res) { res.status = status; };
}
TestHttpServer::Handler Redirect(const std::string& path, const TestHttpServer* to = nullptr,
                                 int status = 301) {
    return [=](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(to ? to->Url(path) : path, status);
    };
}

// A route that never ends: `chunk` after `chunk`, each after a pause (until the client goes,
// 60 s at the most). Of an octet-stream the server compresses nothing: each byte leaves at once.
TestHttpServer::Handler Endless(const std::string& chunk, int pauseMs, const char* type) {
    return [=](const httplib::Request&, httplib::Response& res) {
        const auto start = Clock::now();
        res.set_chunked_content_provider(type, [=](size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            return SecondsSince(start) < 60 && sink.write(chunk.data(), chunk.size());
        });
    };
}
const std::string kFlood(64 * 1024, 'x');

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "rss/RssUserCfg");
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
        channel.SetName(L"News");
        downloader.SetChannel(&channel);
        downloader.SetStopToken(&stop);
    }
    int Get(const std::string& url, int importMode = 0) {
        return downloader.DownLoadXmlbuf(platform::Utf8ToWide(url), importMode);
    }
    std::vector<unsigned> Statuses() {
        std::vector<unsigned> codes;
        for (const auto& m : frame.Drain())
            codes.push_back(static_cast<unsigned>(m.wParam));
        return codes;
    }
    static std::string Local(int port) {
        return "http://127.0.0.1:" + std::to_string(port) + "/feed";
    }

    TempDir app;
    LogCapture log{app.Path()};
    CChannel channel;
    platform::MessageQueue frame;
    StopToken stop;
    CUpDateXml downloader{&frame};
    CConfig config;
};

} // namespace

TEST_F(DownloadTest, EachAnswerItsResultFailureReasonLogLineAndStatuses) {
    TestHttpServer server;
    server.Serve("/feed", kFeed);
    // A zero byte goes alone: what follows it is read, in its block and after it.
    const std::string zero(1, '\0'), kept = "abckept</channel>" + std::string(20000, 'y') + "end";
    server.Serve("/zero", kept.substr(0, 3) + zero + kept.substr(3, 20014) + zero + "end");
    server.Serve("/empty", "");
    server.Get("/gone", Status(404));
    server.Get("/empty204", Status(204));
    server.Get("/not-modified", Status(304)); // no validators were sent
    server.Get("/secure", Redirect("https://127.0.0.1/feed"));
    server.Get("/moved", Redirect("/feed"));
    server.Start();
    const std::wstring received =
        L"Succeed to download xml data stream from web server for channel News";
    const std::wstring other = L"Other web error in CUpDateXml::DownLoadXmlbuf()";
    const std::vector<unsigned> whole = {11722, 11722, 11724}, empty = {11722, 11722, 11723},
                                sent = {11722}, bad = {11721};
    // Address, result, failure reason, a line once more in the log, statuses, and the buffer
    // after it (a failure keeps the last document).
    const std::tuple<std::string, int, std::string, std::wstring, std::vector<unsigned>,
                     std::string>
        cases[] = {
            {server.Url("/feed"), 1, "", received, whole, kFeed},
            {server.Url("/zero"), 1, "", L"Secceed to connect web server for News", whole, kept},
            {server.Url("/empty"), 0, "empty document", L"The xml buffer is empty", empty, kept},
            {server.Url("/gone"), 0, "HTTP 404",
             L"The server 127.0.0.1 has not found anything matching the requested URI (Uniform "
             L"Resource Identifier)",
             sent, kept},
            {server.Url("/empty204"), 0, "HTTP 204", other, sent, kept},
            {server.Url("/not-modified"), 0, "HTTP 304", other, sent, kept},
            {server.Url("/secure"), 0, "HTTP 301", other, sent, kept}, // not followed to https
            {server.Url("/moved"), 1, "", received, whole, kFeed},     // followed to http
            {"https://127.0.0.1/feed", 0, "address not http", L"Invalidate URL", bad, kFeed},
            {"ftp://127.0.0.1/feed", 0, "address not http", L"Invalidate URL", bad, kFeed},
            {"not an address", 0, "bad address", L"Failed to parse URL", bad, kFeed}};
    for (const auto& [address, result, reason, logged, statuses, buffer] : cases) {
        const size_t before = log.Count(logged);
        EXPECT_EQ(Get(address), result) << address;
        EXPECT_EQ(downloader.FailureReason(), reason) << address;
        EXPECT_EQ(log.Count(logged), before + 1) << address;
        EXPECT_EQ(Statuses(), statuses) << address;
        EXPECT_EQ(downloader.Buffer(), buffer) << address;
    }
    // Import mode names no channel.
    EXPECT_EQ(Get(server.Url("/feed"), 1), 1);
    EXPECT_TRUE(log.Contains(L"Secceed to connect web server for download feed file"));
    EXPECT_TRUE(log.Contains(L"Succeed to download feed xml data stream from web server"));
    // The proxy switched on without an address: no send.
    ASSERT_EQ(config.WriteProxyState(1), 1);
    ASSERT_EQ(config.WriteProxyPort(3128), 1);
    Statuses();
    EXPECT_EQ(Get(server.Url("/feed")), 0);
    EXPECT_TRUE(log.Contains(L"Failed to set Internet proxy information"));
    EXPECT_EQ(downloader.FailureReason(), "proxy not set");
    EXPECT_TRUE(Statuses().empty());
    EXPECT_FALSE(log.Contains(L"Failed to send request"));
}

TEST_F(DownloadTest, ASendWithoutAnswerIsTriedLinkNumPlusOneTimes) {
    // A server that never answers: each of the two sends (the default) ends after the
    // time-out.
    ASSERT_EQ(config.WriteLinkTime(2), 1); // 1000 ms
    StallingServer stalled;
    const auto start = Clock::now();
    EXPECT_EQ(Get(Local(stalled.Port())), 0);
    EXPECT_GE(SecondsSince(start), 1.9);
    EXPECT_LT(SecondsSince(start), 8.0);
    EXPECT_EQ(log.Count(L"Failed to send request to web server 127.0.0.1"), 2u);
    EXPECT_EQ(downloader.FailureReason(), "timed out");
    // Nothing listens: four sends.
    ASSERT_EQ(config.WriteLinkNum(3), 1);
    EXPECT_EQ(Get(Local(UnusedPort())), 0);
    EXPECT_EQ(log.Count(L"Failed to send request to web server 127.0.0.1"), 6u);
    EXPECT_EQ(log.Count(L"Beyond the maximum connection times set by configuration files"), 2u);
    EXPECT_EQ(downloader.FailureReason(), "no answer from the server");
    EXPECT_TRUE(Statuses().empty());
}

TEST_F(DownloadTest, StopEndsTheRunningSendAndNoOtherStarts) {
    ASSERT_EQ(config.WriteLinkNum(5), 1);
    ASSERT_EQ(config.WriteLinkTime(20), 1); // 10 s without data before a time-out
    StallingServer stalled;
    TestHttpServer trickle;
    trickle.Get("/trickle", Endless("x", 100, "application/octet-stream"));
    trickle.Start();
    // A server that never answers and one that sends a byte every 100 ms: once the request
    // is there, the stop ends the send long before a time-out would.
    const std::pair<std::string, std::function<int()>> servers[] = {
        {Local(stalled.Port()), [&stalled] { return stalled.Accepted(); }},
        {trickle.Url("/trickle"), [&trickle] { return trickle.Hits(); }}};
    for (const auto& [address, requests] : servers) {
        stop.Resume();
        Clock::time_point stopped;
        std::thread stopper([this, &stopped, &requests = requests] {
            while (requests() < 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            stopped = Clock::now();
            stop.Stop();
        });
        EXPECT_EQ(Get(address), 2) << address;
        stopper.join();
        EXPECT_LT(SecondsSince(stopped), 8.0) << address;
        EXPECT_EQ(requests(), 1) << address;
    }
    EXPECT_FALSE(log.Contains(L"Failed to send request"));
    EXPECT_FALSE(log.Contains(L"Beyond the maximum"));
    // A download that starts while the flag is set does nothing; import mode ignores it.
    EXPECT_EQ(Get("http://127.0.0.1:1/feed"), 2);
    EXPECT_EQ(Get("ftp://127.0.0.1/x", 1), 0);
    EXPECT_TRUE(log.Contains(L"Invalidate URL"));
}

TEST_F(DownloadTest, EndlessDocumentsAreCutBySizeAndTime) {
    TestHttpServer server;
    server.Get("/flood", Endless(kFlood, 0, "text/xml"));
    server.Get("/trickle", Endless("x", 100, "application/octet-stream"));
    server.Serve("/exact", kFlood);
    server.Serve("/over", kFlood + "x");
    server.Start();
    ASSERT_EQ(config.WriteLinkTime(2), 1); // 1000 ms idle; 4000 ms for a whole attempt
    // Past the size cap the download fails with its own line and keeps nothing.
    downloader.SetLimits(1 << 20, 0);
    EXPECT_EQ(Get(server.Url("/flood")), 0);
    EXPECT_TRUE(log.Contains(L"is larger than 1048576 bytes"));
    EXPECT_EQ(downloader.FailureReason(), "document too large");
    EXPECT_TRUE(downloader.Buffer().empty());
    // A document of exactly the cap is taken, one byte more is not.
    downloader.SetLimits(kFlood.size(), 0);
    EXPECT_EQ(Get(server.Url("/exact")), 1);
    EXPECT_EQ(Get(server.Url("/over")), 0);
    // A server that trickles is never idle for a second, and still ends with the attempt.
    const auto start = Clock::now();
    EXPECT_EQ(Get(server.Url("/trickle")), 0);
    EXPECT_GE(SecondsSince(start), 3.5);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(downloader.FailureReason(), "timed out");
}

TEST_F(DownloadTest, ThroughTinyproxyWithBasicAuthentication) {
    TinyProxy proxy(app.Path(), "reader", "s3cret");
    ASSERT_TRUE(proxy.Running()) << "tinyproxy did not start";
    TestHttpServer server;
    server.Serve("/feed", "via proxy");
    server.Start();
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

// The download tests with a CA of the test's own, which the downloader trusts, and https
// allowed.
class HttpsDownloadTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        ASSERT_TRUE(certificates.Ok()) << "openssl could not make the test certificates";
        ASSERT_EQ(config.WriteAllowHttps(1), 1);
    }

    TestCertificates certificates{app / "certs"};
    ScopedCaFile trusted{certificates.CaFile()};
};

} // namespace

TEST_F(HttpsDownloadTest, OnlyWithTheSwitchAndACertificateVerifiedAtTheFirstSend) {
    ASSERT_EQ(config.WriteLinkNum(3), 1); // a refusal must not be tried again
    TestHttpServer good(certificates.ServerCertificate(), certificates.Key());
    TestHttpServer untrusted(certificates.UntrustedCertificate(), certificates.Key());
    TestHttpServer otherName(certificates.OtherNameCertificate(), certificates.Key());
    for (TestHttpServer* server : {&good, &untrusted, &otherName}) {
        server->Serve("/feed", kFeed);
        server->Start();
    }
    EXPECT_EQ(Get(good.Url("/feed")), 1);
    EXPECT_EQ(downloader.Buffer(), kFeed);
    const std::tuple<TestHttpServer*, std::string, std::wstring> refused[] = {
        {&untrusted, "untrusted certificate", L"is not trusted"},
        {&otherName, "certificate name mismatch", L"is for another name"},
        // Without the test's CA the system's store decides: the test's CA is not in it.
        {&good, "untrusted certificate", L"is not trusted"}};
    for (const auto& [server, reason, logged] : refused) {
        if (server == &good)
            CUpDateXml::SetCaFile("");
        const size_t before = log.Count(L"The certificate of server 127.0.0.1 " + logged);
        EXPECT_EQ(Get(server->Url("/feed")), 0) << reason;
        EXPECT_EQ(downloader.FailureReason(), reason);
        EXPECT_EQ(log.Count(L"The certificate of server 127.0.0.1 " + logged), before + 1);
    }
    EXPECT_EQ(good.Hits() + untrusted.Hits() + otherName.Hits(), 1);
    EXPECT_FALSE(log.Contains(L"Failed to send request to web server"));
    EXPECT_EQ(downloader.Buffer(), kFeed); // the last document received, untouched
}

TEST_F(HttpsDownloadTest, RedirectsGoUpToHttpsOnlyWithTheSwitchAndNeverBack) {
    TestHttpServer secure(certificates.ServerCertificate(), certificates.Key());
    TestHttpServer plain;
    secure.Serve("/feed", kFeed);
    plain.Serve("/feed", "<rss version=\"2.0\"><channel><title>plain</title></channel></rss>");
    plain.Get("/up", Redirect("/feed", &secure));
    plain.Get("/up-and-down", Redirect("/down", &secure));
    secure.Get("/down", Redirect("/feed", &plain, 302));
    secure.Start();
    plain.Start();
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

namespace {

// Update jobs on a pool of two for a channel whose feed a loopback server serves
// compressed, with an ETag (blanks around it) and a Last-Modified date, and answers with
// 304 when either comes back.
class UpdateJobTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        MakeFolders(app / "data");
        server.Get("/feed.xml", [this](const httplib::Request& req, httplib::Response& res) {
            requests.push_back(req.headers);
            if (req.get_header_value("If-None-Match") == "\"e1\"" ||
                req.get_header_value("If-Modified-Since") == kModified) {
                res.status = 304;
                return;
            }
            res.set_header("ETag", "  \"e1\"  ");
            res.set_header("Last-Modified", kModified);
            // kItemFeed compressed by the server (the bytes of gzip -n -9).
            static const char gz[] =
                "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x3d\x8c\x5b\x0a\x80\x20\x10\x45\xb7"
                "\x12\x2e\xc0\x5b\x7d\xc6\x34\x7b\x11\x19\x50\xd2\x51\x54\xa2\xe5\x17\x05\x7d"
                "\x9f\x07\xb5\xde\xa7\x53\x5a\x8f\x45\x77\xb3\xda\xd9\x30\xf9\xe0\x54\x25\x31"
                "\xc5\x21\x99\x29\x45\x3d\x38\x8c\x51\x37\x40\x2e\x97\x6b\x12\xeb\x4b\xc6\x42"
                "\x78\x11\xe1\xf3\xf0\x77\x78\xa6\x7c\x03\x2d\xcc\x46\x40\x5a\x00\x00\x00";
            res.set_header("Content-Encoding", "gzip");
            res.set_content(std::string(gz, sizeof gz - 1), "application/octet-stream");
        });
        server.Start();
        channel.SetId(3);
        channel.SetName(L"Loop");
        channel.SetFileStem(L"rss3");
        channel.SetUrl(platform::Utf8ToWide(server.Url("/feed.xml")));
    }
    // Runs one job on the pool and waits for its 11901; returns wParam.
    int RunJob(const std::wstring& folder = L"data", UpdateOutcome* outcome = nullptr) {
        CUpdateJob job(&channel, app.WPath() + folder, &view, &frame, &stop);
        pool.Submit(&job, static_cast<platform::MessageTarget*>(&view));
        platform::PostedMessage m;
        EXPECT_TRUE(view.WaitNext(m, 10000));
        EXPECT_EQ(m.message, 11901u);
        EXPECT_EQ(m.lParam, reinterpret_cast<platform::LParam>(&channel));
        // The worker may still be leaving Run; the job is deleted by its owner afterwards.
        while (pool.BusyCount() != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (outcome)
            *outcome = job.GetOutcome();
        return static_cast<int>(m.wParam);
    }
    std::string Sent(const char* header) const {
        const auto found = requests.back().find(header);
        return found == requests.back().end() ? "" : found->second;
    }

    static constexpr const char* kModified = "Sun, 06 Dec 2026 10:00:00 GMT";
    std::vector<httplib::Headers> requests;
    TestHttpServer server;
    platform::MessageQueue view;
    CThreadPool pool{2};
};

} // namespace

TEST_F(UpdateJobTest, WritesThenKeepsWhatDidNotChange) {
    const std::vector<unsigned> statuses = {11722, 11722, 11724, 11732};
    const std::string validators = app / "data/rss3.http";
    const std::string golden = "validators 1\nurl=" + server.Url("/feed.xml") +
                               "\netag=\"e1\"\nmodified=" + kModified + "\n";
    EXPECT_EQ(RunJob(), 1);
    EXPECT_EQ(Sent("User-Agent").rfind("Tessavin/", 0), 0u) << Sent("User-Agent");
    EXPECT_GT(Sent("User-Agent").size(), std::string("Tessavin/").size());
    EXPECT_NE(Sent("Accept-Encoding").find("gzip"), std::string::npos);
    EXPECT_NE(Sent("Accept-Encoding").find("deflate"), std::string::npos);
    EXPECT_EQ(Sent("If-None-Match"), "");
    EXPECT_EQ(ReadFileBytes(validators), golden);
    EXPECT_EQ(ReadFileBytes(app / "data/rss3.flg"), "F000   http://example.com/1\n");
    EXPECT_EQ(channel.NodeText(), L"Loop(1/1)");
    EXPECT_EQ(Statuses(), statuses);
    const std::string page = ReadFileBytes(app / "data/rss3.html");
    const std::string state = ReadFileBytes(app / "data/rss3.flg");

    // Sent back, they bring a 304: page, state file and counts stay; the time is set. The
    // state file is not read for it, so an item action holding it is no obstacle.
    channel.SetCounts(0, 1); // the reader read it
    channel.SetLastUpdated(L"");
    UpdateOutcome outcome = UpdateOutcome::kNotRun;
    platform::File held;
    ASSERT_TRUE(held.Open(app.WPath() + L"data/rss3.flg", platform::File::kRead |
                                                              platform::File::kWrite |
                                                              platform::File::kExclusive));
    EXPECT_EQ(RunJob(L"data", &outcome), 1);
    held.Close();
    EXPECT_EQ(outcome, UpdateOutcome::kUnchanged);
    EXPECT_EQ(Sent("If-None-Match"), "\"e1\"");
    EXPECT_EQ(Sent("If-Modified-Since"), kModified);
    EXPECT_TRUE(log.Contains(L"The document of channel Loop is not modified"));
    EXPECT_FALSE(log.Contains(L"Failed to update channel Loop")); // a 304 is no failure
    EXPECT_EQ(ReadFileBytes(app / "data/rss3.html"), page);
    EXPECT_EQ(ReadFileBytes(app / "data/rss3.flg"), state);
    EXPECT_EQ(channel.NodeText(), L"Loop(0/1)");
    EXPECT_EQ(channel.GetLastUpdated().size(), 19u);
    EXPECT_EQ(Statuses(), statuses);

    // A damaged file (cut short, a value with a line break, another address) is ignored:
    // the document comes whole, unchanged (the counts stay), and the file is written again.
    for (const std::string& bad :
         {golden.substr(0, golden.size() - 1),
          "validators 1\nurl=" + server.Url("/feed.xml") + "\netag=\"e1\"\r\nmodified=\n",
          std::string("validators 1\nurl=http://elsewhere/\netag=\"e1\"\nmodified=\n"),
          std::string("\0\0", 2)}) {
        WriteFileBytes(validators, bad);
        // A document waits for an item action that holds the state file for a moment.
        ASSERT_TRUE(held.Open(app.WPath() + L"data/rss3.flg", platform::File::kRead |
                                                                  platform::File::kWrite |
                                                                  platform::File::kExclusive));
        std::thread release([&held] {
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
            held.Close();
        });
        EXPECT_EQ(RunJob(), 1);
        release.join();
        EXPECT_EQ(Sent("If-None-Match"), "");
        EXPECT_EQ(ReadFileBytes(validators), golden);
        EXPECT_EQ(Statuses(), statuses);
    }
    EXPECT_EQ(channel.NodeText(), L"Loop(0/1)");
    // A value of the maximum size is kept, one byte more is not.
    const size_t max = HttpValidators::kMaxValueBytes;
    for (size_t size : {max, max + 1}) {
        HttpValidators kept;
        kept.url = "http://x/";
        kept.etag = std::string(size, 'e');
        ASSERT_TRUE(kept.Save(app.WPath() + L"data/v.http"));
        EXPECT_EQ(kept.Load(app.WPath() + L"data/v.http", "http://x/"), size == max) << size;
        EXPECT_EQ(kept.etag.size(), size == max ? max : 0u) << size;
    }
    // Without its page the validators stand for nothing.
    std::remove((app / "data/rss3.html").c_str());
    EXPECT_EQ(RunJob(), 1);
    EXPECT_EQ(Sent("If-None-Match"), "");
    EXPECT_EQ(server.Hits(), 7);
}

TEST_F(UpdateJobTest, FailuresEndWithFinishedZero) {
    // No place for the state file: ends before any network access.
    EXPECT_EQ(RunJob(L"missing"), 0);
    EXPECT_TRUE(log.Contains(L"Failed to create channel flag file"));
    EXPECT_EQ(server.Hits(), 0);
    EXPECT_TRUE(Statuses().empty());

    channel.SetUrl(platform::Utf8ToWide(server.Url("/nothing")));
    EXPECT_EQ(RunJob(), 0);
    EXPECT_TRUE(log.Contains(L"Failed to update channel Loop"));
    EXPECT_EQ(Statuses().back(), 11744u);

    stop.Stop();
    EXPECT_EQ(RunJob(), 0);
    EXPECT_TRUE(log.Contains(L"Terminate update channel Loop by user"));
    EXPECT_EQ(Statuses(), (std::vector<unsigned>{11744}));
}
