#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

// An HTTP server on 127.0.0.1 with an ephemeral port, running on its own thread, that
// answers with what the test scripts. Stops when the object goes.
class TestHttpServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    TestHttpServer();
    // An https server with the given certificate chain and key (PEM files).
    TestHttpServer(const std::string& certificatePath, const std::string& keyPath);
    ~TestHttpServer();
    // Routes GET path to the handler (before Start).
    void Get(const std::string& path, Handler handler);
    // Serves a fixed body with status 200 and the given content type.
    void Serve(const std::string& path, const std::string& body,
               const std::string& type = "application/rss+xml");
    void Start();
    std::string Url(const std::string& path) const;
    int Hits() const { return hits_.load(); }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<int> hits_{0};
    std::string scheme_ = "http";
};

// A server that accepts connections and never answers (a stalled peer).
class StallingServer {
public:
    StallingServer();
    ~StallingServer();
    int Port() const { return port_; }
    int Accepted() const { return accepted_.load(); }

private:
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens.
int UnusedPort();
// True when a connection to the port on 127.0.0.1 is taken.
bool AcceptsConnections(int port);
