#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Socket.h"
#include "platform/Time.h"
#include "platform/Tls.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// A real TLS server: tests/support/tlsserver.py (python's ssl module, run by /usr/bin/python3)
// on loopback, one port per service ("trusted", "tls12", "tls11", "expired", "other-name",
// "self-signed", "unknown-issuer"; the script says what each does). Natively a child process;
// under Wine the same Linux program, started through drive Z:. It makes its certificates with
// the openssl command once per test program, into CertificateFolder().
class TlsTestServer {
public:
    // Starts the server and waits (bounded) until it listens. On failure returns null, `whyNot`
    // says why, and `unavailable` tells a machine without python3 or openssl (a reason to skip)
    // from a server that did not come up (a failure).
    static std::unique_ptr<TlsTestServer> Start(std::string& whyNot, bool& unavailable);
    ~TlsTestServer();

    platform::Endpoint Endpoint(const std::string& service) const;

    // Waits, bounded by `limit`, until the server has logged `line` (for example
    // "trusted close-alert"); counts each logged line once, so a second wait for the same line
    // needs a second event.
    bool WaitForLogLine(const std::string& line, platform::Millis limit);
    std::string Log() const;  // everything logged so far, for failure messages

    // The folder with the CA ("ca.pem", "ca.der") and the certificates, shared by every server
    // of this test program.
    static const std::filesystem::path& CertificateFolder();

    struct Facts {
        platform::Sha256Fingerprint fingerprint{};
        std::chrono::sys_seconds notBefore{};
        std::chrono::sys_seconds notAfter{};
    };
    // What the openssl command says about a certificate ("leaf", "expired", "other-name",
    // "self-signed", "unknown-issuer").
    static Facts CertificateFacts(const std::string& certificate);

private:
    TlsTestServer() = default;
    bool Launch(std::string& whyNot, bool& unavailable);
    std::vector<std::string> LogLines() const;

    std::optional<TempDir> m_state;  // status and log; the server ends once it is gone
    std::optional<ChildProcess> m_process;
    std::map<std::string, std::uint16_t> m_ports;
    std::vector<bool> m_taken;  // log lines already matched by a wait
};

// Makes the test CA a trusted root for TLS connections of this process from now on (natively
// through SSL_CERT_FILE; under Wine in the current user's root store, removed again when the
// object goes). Throws int.
class TrustedTestAuthority {
public:
    explicit TrustedTestAuthority(const std::filesystem::path& caFolder);
    ~TrustedTestAuthority();
    TrustedTestAuthority(const TrustedTestAuthority&) = delete;
    TrustedTestAuthority& operator=(const TrustedTestAuthority&) = delete;

private:
    std::vector<unsigned char> m_der;             // the CA as added to the store (Windows)
    std::optional<std::string> m_previousFile;    // SSL_CERT_FILE before (POSIX)
};

// True in a Windows program that Wine runs, for tests that record what Wine does differently.
bool RunningUnderWine();

}  // namespace testsupport
