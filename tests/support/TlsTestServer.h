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

// tests/support/tlsserver.py on loopback: one port per service, named as in the script.
class TlsTestServer {
public:
    // Starts the server and waits (bounded) until it listens. Null on failure, as StartScript.
    static std::unique_ptr<TlsTestServer> Start(std::string& whyNot, bool& unavailable);

    platform::Endpoint Endpoint(const std::string& service) const { return {{{127, 0, 0, 1}}, m_ports.at(service)}; }

    // Waits until the server logs a line beginning with `line`.
    bool WaitForLogLine(const std::string& line, platform::Millis limit);
    std::string Log() const;  // everything logged so far, for failure messages

    // The CA and the certificates, made once per test program.
    static const std::filesystem::path& CertificateFolder();

    struct Facts {
        platform::Sha256Fingerprint fingerprint{};
        std::chrono::sys_seconds notBefore{};
        std::chrono::sys_seconds notAfter{};
    };
    static Facts CertificateFacts(const std::string& certificate);

private:
    TlsTestServer() = default;

    // The state folder goes first: that ends the server.
    std::optional<ChildProcess> m_process;
    std::optional<TempDir> m_state;
    std::map<std::string, std::uint16_t> m_ports;
};

// Makes the test CA a trusted root of this process while it lives. Throws int.
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
