#include "TestCertificates.h"

#include <cstdlib>

TestCertificates::TestCertificates(const std::string& folder) : folder_(folder) {
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
    // One key serves every server certificate; a fast curve keeps the set-up short.
    // "sign CA NAME NAMES" makes NAME.pem for server.key and the given names, signed by CA.
    const std::string script = "set -e; mkdir -p '" + folder_ + "'; cd '" + folder_ + "'" + R"(
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out $1; }
ca() {
  key $1.key
  openssl req -x509 -new -key $1.key -out $1.pem -days 2 -subj "/CN=Tessavin test $1" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
}
sign() {
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' $3 >$2.ext
  openssl req -new -key server.key -out $2.csr -subj /CN=$2
  openssl x509 -req -in $2.csr -CA $1.pem -CAkey $1.key -CAcreateserial -out $2.pem -days 2 \
    -extfile $2.ext
}
key server.key; ca ca; ca other-ca
sign ca server IP:127.0.0.1,DNS:localhost; sign ca other-name DNS:feeds.invalid
sign other-ca untrusted IP:127.0.0.1,DNS:localhost
)";
    ok_ = std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
}
