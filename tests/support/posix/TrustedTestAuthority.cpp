#include <cstdlib>

#include "tests/support/TlsTestServer.h"

namespace testsupport {

// OpenSSL reads SSL_CERT_FILE when credentials load the default trust store; it replaces the
// system's roots, which the tests do not need.
TrustedTestAuthority::TrustedTestAuthority(const std::filesystem::path& caFolder) {
    if (const char* previous = std::getenv("SSL_CERT_FILE")) m_previousFile = previous;
    ::setenv("SSL_CERT_FILE", (caFolder / "ca.pem").c_str(), 1);
}

TrustedTestAuthority::~TrustedTestAuthority() {
    if (m_previousFile)
        ::setenv("SSL_CERT_FILE", m_previousFile->c_str(), 1);
    else
        ::unsetenv("SSL_CERT_FILE");
}

bool RunningUnderWine() { return false; }

}  // namespace testsupport
