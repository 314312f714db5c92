#pragma once

#include <string>

// A tinyproxy process on 127.0.0.1 with Basic authentication, for proxy tests.
class TinyProxy {
public:
    TinyProxy(const std::string& folder, const std::string& user, const std::string& password);
    ~TinyProxy();
    bool Running() const { return pid_ > 0 && port_ > 0; }
    int Port() const { return port_; }

private:
    int pid_ = -1;
    int port_ = 0;
};
