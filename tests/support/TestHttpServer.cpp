#include "TestHttpServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

TestHttpServer::TestHttpServer() : server_(new httplib::Server()) {}

TestHttpServer::TestHttpServer(const std::string& certificatePath, const std::string& keyPath)
    : server_(new httplib::SSLServer(certificatePath.c_str(), keyPath.c_str())), scheme_("https") {}

TestHttpServer::~TestHttpServer() {
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

void TestHttpServer::Get(const std::string& path, Handler handler) {
    server_->Get(path, [this, handler](const httplib::Request& req, httplib::Response& res) {
        ++hits_;
        handler(req, res);
    });
}

void TestHttpServer::Serve(const std::string& path, const std::string& body,
                           const std::string& type) {
    Get(path, [body, type](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, type.c_str());
    });
}

void TestHttpServer::Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

std::string TestHttpServer::Url(const std::string& path) const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

namespace {
sockaddr_in Loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return addr;
}

int ListenOnEphemeralPort(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = Loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd, 16);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}
} // namespace

StallingServer::StallingServer() {
    listener_ = ListenOnEphemeralPort(port_);
    thread_ = std::thread([this] {
        std::vector<int> clients;
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                int c = ::accept(listener_, nullptr, nullptr);
                if (c >= 0) {
                    clients.push_back(c);
                    ++accepted_;
                }
            }
        }
        for (int c : clients)
            ::close(c);
    });
}

StallingServer::~StallingServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

int UnusedPort() {
    int port = 0;
    int fd = ListenOnEphemeralPort(port);
    ::close(fd);
    return port;
}

bool AcceptsConnections(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = Loopback(port);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}
