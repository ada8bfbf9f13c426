#include <cstdlib>

#include "tests/support/TlsTestServer.h"

namespace testsupport {

// OpenSSL reads SSL_CERT_FILE when credentials load the default trust store; it replaces the
// system's roots, which the tests do not need.
void TrustTestAuthority() {
    ::setenv("SSL_CERT_FILE", (TlsTestServer::CertificateFolder() / "ca.pem").c_str(), 1);
}

bool RunningUnderWine() { return false; }

}  // namespace testsupport
