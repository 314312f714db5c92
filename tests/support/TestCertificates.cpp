#include "TestCertificates.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

TestCertificates::TestCertificates(const std::string& folder) : folder_(folder) {
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    // One key serves every server certificate; a fast curve keeps the set-up short.
    ok_ = MakeKey(Key()) && MakeCa("ca") && MakeCa("other-ca") &&
          Sign("ca", "server", "IP:127.0.0.1,DNS:localhost") &&
          Sign("ca", "other-name", "DNS:feeds.invalid") &&
          Sign("other-ca", "untrusted", "IP:127.0.0.1,DNS:localhost");
}

bool TestCertificates::Run(const std::string& arguments) {
    const std::string command = "openssl " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool TestCertificates::MakeKey(const std::string& path) {
    return Run("genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out '" + path + "'");
}

bool TestCertificates::MakeCa(const std::string& name) {
    const std::string key = folder_ + name + ".key";
    return MakeKey(key) && Run("req -x509 -new -key '" + key + "' -out '" + folder_ + name +
                               ".pem' -days 2 -subj '/CN=Tessavin test " + name +
                               "' -addext basicConstraints=critical,CA:TRUE -addext "
                               "keyUsage=critical,keyCertSign,cRLSign");
}

bool TestCertificates::Sign(const std::string& ca, const std::string& out,
                            const std::string& altNames) {
    const std::string extensions = folder_ + out + ".ext";
    std::ofstream(extensions) << "subjectAltName=" << altNames << "\n"
                              << "basicConstraints=CA:FALSE\n"
                              << "extendedKeyUsage=serverAuth\n";
    const std::string request = folder_ + out + ".csr";
    return Run("req -new -key '" + Key() + "' -out '" + request + "' -subj '/CN=" + out + "'") &&
           Run("x509 -req -in '" + request + "' -CA '" + folder_ + ca + ".pem' -CAkey '" + folder_ +
               ca + ".key" + "' -CAcreateserial -out '" + folder_ + out +
               ".pem' -days 2 -extfile '" + extensions + "'");
}
