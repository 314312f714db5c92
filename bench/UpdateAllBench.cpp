// Updates 500 channels of 100 items each from a loopback server with 5 and with 30 worker
// threads, and runs newsboat's reload over the same 500 feeds with the same thread
// counts. Then updates the same channels twice in a row into one folder: the second run
// sends the validators of the first, and the server answers every request with 304. Each side runs
// in its own child process, so wall time, CPU time and peak memory (from wait4) are its own; the
// feed server runs in a third process.
//
//   bench_update_all [CHANNELS] [ITEMS]
#include "catalogue/Channel.h"
#include "engine/ThreadPool.h"
#include "engine/UpdateJob.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Feed(int channel, int items) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
                      "<title>Feed " +
                      std::to_string(channel) +
                      "</title><link>http://example.com/"
                      "</link><description>d</description><lastBuildDate>Sun, 06 Dec 2026 10:00:00 "
                      "GMT</lastBuildDate>\n";
    for (int i = 0; i < items; ++i) {
        std::string id = std::to_string(channel) + "-" + std::to_string(i);
        xml += "<item><title>Item " + id + "</title><link>http://example.com/" + id +
               "</link><guid>http://example.com/" + id +
               "</guid><description>&lt;p&gt;Body of item " + id +
               " with some text to read.&lt;/p&gt;</description><pubDate>Sun, 06 Dec 2026 "
               "09:00:00 GMT</pubDate></item>\n";
    }
    return xml + "</channel></rss>\n";
}

// The feed server's listening socket takes a backlog of 5 connections; with fast answers
// (304s) the queue overflows, a connection attempt is dropped and retried by the client's
// TCP a second later. Listening again on the same socket widens the queue.
void WidenBacklog(int port) {
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        int listening = 0;
        socklen_t size = sizeof listening;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port &&
            getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening)
            listen(fd, 1024);
    }
}

struct Measure {
    double wallMs = 0, cpuMs = 0;
    long peakKb = 0;
    int status = 0;
};

template <class Body> Measure RunChild(Body body) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Measure m;
    m.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    m.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    m.peakKb = usage.ru_maxrss;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

// expectUnchanged: every job must end unchanged (the all-304 run), else the run fails.
int UpdateAll(const std::string& folder, int port, int channels, unsigned threads,
              bool expectUnchanged = false) {
    std::filesystem::create_directories(folder + "/data");
    std::vector<std::unique_ptr<CChannel>> list;
    for (int c = 0; c < channels; ++c) {
        auto ch = std::make_unique<CChannel>();
        ch->SetId(static_cast<uint32_t>(c + 1));
        ch->SetName(L"Feed " + std::to_wstring(c));
        ch->SetFileStem(L"rss" + std::to_wstring(c + 1));
        ch->SetUrl(L"http://127.0.0.1:" + std::to_wstring(port) + L"/feed" + std::to_wstring(c) +
                   L".xml");
        list.push_back(std::move(ch));
    }
    platform::MessageQueue view;
    std::vector<std::unique_ptr<CUpdateJob>> jobs;
    const std::wstring data = platform::Utf8ToWide(folder + "/data");
    CThreadPool pool(threads);
    int ok = 0;
    for (auto& ch : list) {
        jobs.push_back(std::make_unique<CUpdateJob>(ch.get(), data, &view, nullptr));
        pool.Submit(jobs.back().get(), static_cast<platform::MessageTarget*>(&view));
    }
    for (int done = 0; done < channels; ++done) {
        platform::PostedMessage m;
        if (!view.WaitNext(m, 60000))
            return 2;
        ok += static_cast<int>(m.wParam);
    }
    if (ok != channels)
        return 1;
    if (expectUnchanged)
        for (auto& job : jobs)
            if (job->GetOutcome() != UpdateOutcome::kUnchanged)
                return 4;
    return 0;
}

int NewsboatReload(const std::string& folder, int port, int channels, unsigned threads) {
    std::filesystem::create_directories(folder);
    {
        std::ofstream urls(folder + "/urls");
        for (int c = 0; c < channels; ++c)
            urls << "http://127.0.0.1:" << port << "/feed" << c << ".xml\n";
        std::ofstream config(folder + "/config");
        config << "reload-threads " << threads << "\nshow-read-feeds yes\n";
    }
    setenv("HOME", folder.c_str(), 1);
    std::string command = "newsboat -x reload -u " + folder + "/urls -C " + folder + "/config -c " +
                          folder + "/cache.db > " + folder + "/out.txt 2>&1";
    int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : 3;
}

// The command-line host end to end: the channel list is imported by a first start, then
// "tessavin update --all" is timed (ThreadNum 5, its default).
int CliUpdateAll(const std::string& folder, int port, int channels) {
    std::filesystem::create_directories(folder + "/userdata/rss/RssUserCfg");
    {
        std::ofstream list(folder + "/userdata/rss/RssUserCfg/userdefinechannel.opml");
        list << "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\"><body>\n";
        for (int c = 0; c < channels; ++c)
            list << "<outline kind=\"nkFeed\" text=\"Feed " << c
                 << "\" xmlUrl=\"http://127.0.0.1:" << port << "/feed" << c << ".xml\"/>\n";
        list << "</body></opml>\n";
    }
    std::string prepare = std::string(TESSAVIN_CLI) + " --app-dir " + folder + " list > /dev/null";
    if (std::system(prepare.c_str()) != 0)
        return 3;
    return -1; // prepared; the timed part runs next
}

} // namespace

int main(int argc, char** argv) {
    const int channels = argc > 1 ? std::atoi(argv[1]) : 500;
    const int items = argc > 2 ? std::atoi(argv[2]) : 100;
    char pattern[] = "/tmp/tessavin-bench-all.XXXXXX";
    const std::string root = mkdtemp(pattern);

    // The feed server, in its own process.
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    pid_t server = fork();
    if (server == 0) {
        std::vector<std::string> feeds;
        for (int c = 0; c < channels; ++c)
            feeds.push_back(Feed(c, items));
        httplib::Server svr;
        svr.new_task_queue = [] { return new httplib::ThreadPool(8); };
        svr.Get(R"(/feed(\d+)\.xml)",
                [&feeds](const httplib::Request& req, httplib::Response& res) {
                    size_t c = static_cast<size_t>(std::stoi(req.matches[1]));
                    if (c >= feeds.size()) {
                        res.status = 404;
                        return;
                    }
                    const std::string etag = "\"f" + std::to_string(c) + "\"";
                    res.set_header("ETag", etag);
                    if (req.get_header_value("If-None-Match") == etag)
                        res.status = 304;
                    else
                        res.set_content(feeds[c], "application/rss+xml");
                });
        int port = svr.bind_to_any_port("127.0.0.1");
        WidenBacklog(port);
        if (write(pipeFds[1], &port, sizeof port) != sizeof port)
            _exit(1);
        svr.listen_after_bind();
        _exit(0);
    }
    int port = 0;
    if (read(pipeFds[0], &port, sizeof port) != sizeof port)
        return 1;

    std::printf("%d channels x %d items from 127.0.0.1:%d\n", channels, items, port);
    std::printf("%-10s %8s %12s %12s %12s %8s\n", "reader", "threads", "wall ms", "cpu ms",
                "peak KiB", "status");
    for (unsigned threads : {5u, 30u}) {
        const std::string ours = root + "/ours" + std::to_string(threads);
        Measure a = RunChild([&] { return UpdateAll(ours, port, channels, threads); });
        std::printf("%-10s %8u %12.0f %12.0f %12ld %8d\n", "tessavin", threads, a.wallMs, a.cpuMs,
                    a.peakKb, a.status);
        const std::string theirs = root + "/newsboat" + std::to_string(threads);
        Measure b = RunChild([&] { return NewsboatReload(theirs, port, channels, threads); });
        std::printf("%-10s %8u %12.0f %12.0f %12ld %8d\n", "newsboat", threads, b.wallMs, b.cpuMs,
                    b.peakKb, b.status);
        std::printf("ratio newsboat/tessavin at %u threads: wall %.2fx, cpu %.2fx, peak memory "
                    "%.2fx\n",
                    threads, b.wallMs / a.wallMs, b.cpuMs / a.cpuMs,
                    static_cast<double>(b.peakKb) / static_cast<double>(a.peakKb));
    }
    {
        const std::string cli = root + "/cli";
        CliUpdateAll(cli, port, channels);
        std::string command = std::string(TESSAVIN_CLI) + " --app-dir " + cli + " update --all > " +
                              root + "/cli-out.txt";
        Measure a = RunChild([&] {
            int rc = std::system(command.c_str());
            return WIFEXITED(rc) ? WEXITSTATUS(rc) : 3;
        });
        std::printf("%-10s %8u %12.0f %12.0f %12ld %8d\n", "tessavin-cli", 5u, a.wallMs, a.cpuMs,
                    a.peakKb, a.status);
        const std::string theirs = root + "/newsboat-cli";
        Measure b = RunChild([&] { return NewsboatReload(theirs, port, channels, 5); });
        std::printf("%-10s %8u %12.0f %12.0f %12ld %8d\n", "newsboat", 5u, b.wallMs, b.cpuMs,
                    b.peakKb, b.status);
        std::printf("ratio newsboat/tessavin-cli at 5 threads: wall %.2fx, cpu %.2fx, peak memory "
                    "%.2fx\n",
                    b.wallMs / a.wallMs, b.cpuMs / a.cpuMs,
                    static_cast<double>(b.peakKb) / static_cast<double>(a.peakKb));
    }
    {
        const std::string folder = root + "/twice";
        Measure full = RunChild([&] { return UpdateAll(folder, port, channels, 5); });
        Measure again = RunChild([&] { return UpdateAll(folder, port, channels, 5, true); });
        std::printf("%-10s %8u %12.0f %12.0f %12ld %8d\n", "full", 5u, full.wallMs, full.cpuMs,
                    full.peakKb, full.status);
        std::printf("%-10s %8u %12.0f %12.0f %12ld %8d\n", "all-304", 5u, again.wallMs, again.cpuMs,
                    again.peakKb, again.status);
        std::printf("ratio full/all-304 at 5 threads: wall %.2fx, cpu %.2fx\n",
                    full.wallMs / again.wallMs, full.cpuMs / again.cpuMs);
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    std::filesystem::remove_all(root);
    return 0;
}
