#pragma once

#include <string>

// Certificates for loopback https servers, made with the openssl command in a folder of
// the test's: a CA of the test's own, a server certificate it signed for 127.0.0.1 and
// localhost, one it signed for another name, and one signed by a second CA that nothing
// trusts. Each file is PEM.
class TestCertificates {
public:
    // Makes the folder and every file in it; check Ok() after.
    explicit TestCertificates(const std::string& folder);
    bool Ok() const { return ok_; }

    std::string CaFile() const { return folder_ + "ca.pem"; }
    std::string Key() const { return folder_ + "server.key"; }
    std::string ServerCertificate() const { return folder_ + "server.pem"; }
    std::string OtherNameCertificate() const { return folder_ + "other-name.pem"; }
    std::string UntrustedCertificate() const { return folder_ + "untrusted.pem"; }

private:
    std::string folder_;
    bool ok_ = false;
};
