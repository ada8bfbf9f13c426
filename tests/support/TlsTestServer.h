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

// A real TLS server: tests/support/tlsserver.py on loopback, one port per service ("trusted",
// "tls12", "expired", ...: the script says what each does). It makes its certificates with the
// openssl command once per test program, into CertificateFolder().
class TlsTestServer {
public:
    // Starts the server and waits (bounded) until it listens. Null on failure, as StartScript.
    static std::unique_ptr<TlsTestServer> Start(std::string& whyNot, bool& unavailable);

    platform::Endpoint Endpoint(const std::string& service) const;

    // Waits, bounded by `limit`, until the server has logged a line that begins with `line` (for
    // example "trusted close-alert"); counts each logged line once, so a second wait for the
    // same line needs a second event.
    bool WaitForLogLine(const std::string& line, platform::Millis limit);
    std::string Log() const;  // everything logged so far, for failure messages

    // The CA ("ca.pem", "ca.der") and the certificates, shared by the servers of a test program.
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
    std::vector<std::string> LogLines() const;

    // Destroyed in reverse: the process (closing its input ends it natively), then the state
    // folder with the status and the log (which ends it under Wine).
    std::optional<TempDir> m_state;
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
    std::vector<unsigned char> m_der;           // the CA as added to the store (Windows)
    std::optional<std::string> m_previousFile;  // SSL_CERT_FILE before (POSIX)
};

// True in a Windows program that Wine runs, for tests that record what Wine does differently.
bool RunningUnderWine();

}  // namespace testsupport
