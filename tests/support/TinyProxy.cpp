#include "TinyProxy.h"

#include "TestHttpServer.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

TinyProxy::TinyProxy(const std::string& folder, const std::string& user,
                     const std::string& password) {
    port_ = UnusedPort();
    const std::string config = folder + "tinyproxy.conf";
    {
        std::ofstream out(config);
        out << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
            << "LogLevel Critical\nLogFile \"" << folder << "tinyproxy.log\"\n"
            << "BasicAuth " << user << " " << password << "\n";
        if (getuid() == 0)
            out << "User nobody\nGroup nogroup\n";
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::execlp("tinyproxy", "tinyproxy", "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 100; ++i) {
        if (AcceptsConnections(port_))
            return;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    port_ = 0;
}

TinyProxy::~TinyProxy() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}
