#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// A real FTP server on a free loopback port with a temporary root, started by tools/ftpserver.py
// (run by /usr/bin/python3): Debian's pyftpdlib, serving one user with full rights, or one of
// Debian's vsftpd, proftpd and pure-ftpd, which need root and serve "/upload" as the writable
// folder (see the script). Natively a child process; under Wine the same Linux program, started
// through drive Z:. It reports through a status file rather than its output, which Wine does
// not pass on from Linux programs.
class PyFtpdServer {
public:
    enum class Kind { Pyftpdlib, Vsftpd, Proftpd, PureFtpd };
    struct Options {
        Kind kind = Kind::Pyftpdlib;
        std::string user = "orvane";  // vsftpd serves "anonymous" whatever this says
        std::string password = "s3cret";
        bool cp1252 = false;  // pyftpdlib: command lines and replies in Windows-1252, no UTF8 offered
        int uploadRate = 0;   // pyftpdlib: bytes a second each data connection receives; 0 for no limit
        int maxPerAddress = 0;  // pyftpdlib: connections it takes from one address (421 beyond); 0 for no limit
        bool refuseRest = false;  // pyftpdlib: offers "REST STREAM" but refuses every REST
        // pyftpdlib and vsftpd: FTP over TLS, required for the login and every data connection,
        // with one of the test certificates (TlsTestServer::CertificateFacts). Implicit is vsftpd's.
        enum class Tls { None, Explicit, Implicit };
        Tls tls = Tls::None;
        std::string certificate = "leaf";
    };

    // Starts the server and waits (bounded) until it listens. On failure returns null, `whyNot`
    // says why, and `unavailable` tells a machine without python3 or pyftpdlib, or a run
    // without root for the others (a reason to skip), from a server that did not come up (a
    // failure).
    static std::unique_ptr<PyFtpdServer> Start(const Options& options, std::string& whyNot,
                                               bool& unavailable);
    ~PyFtpdServer();

    // Ends the server as a crash would: its connections drop. Start again resumes it on the same
    // port and folder, as a server that comes back; false (with `whyNot`) if it does not.
    void Stop();
    bool StartAgain(std::string& whyNot);
    // The certificate a TLS server shows from its next start on.
    void UseCertificate(std::string certificate) { m_options.certificate = std::move(certificate); }

    std::uint16_t Port() const { return m_port; }
    // The folder the user sees as "/".
    const std::filesystem::path& Root() const { return m_root.Path(); }
    const Options& Settings() const { return m_options; }

private:
    PyFtpdServer(const Options& options, const std::filesystem::path& rootBase);
    bool Launch(std::string& whyNot, bool& unavailable);

    Options m_options;
    TempDir m_root;
    std::optional<TempDir> m_state;  // holds the status file; the server ends once it is gone
    std::optional<ChildProcess> m_process;
    std::uint16_t m_port = 0;
};

// Owns one PyFtpdServer per test: started in SetUp (the test is skipped, with the reason, when
// the machine has no pyftpdlib), ended in TearDown.
class FtpServerFixture : public ::testing::Test {
protected:
    virtual PyFtpdServer::Options ServerOptions() const { return {}; }

    // A derived SetUp goes on only when ServerStarted(); otherwise the test is already skipped
    // or failed.
    void SetUp() override;
    void TearDown() override;
    bool ServerStarted() const { return m_server != nullptr; }

    PyFtpdServer& Server() { return *m_server; }
    std::uint16_t Port() const { return m_server->Port(); }
    const std::filesystem::path& Root() const { return m_server->Root(); }

private:
    std::unique_ptr<PyFtpdServer> m_server;
};

// The source tree, from ORVANE_SOURCE_DIR (set by ctest), as a path of this platform.
std::filesystem::path SourceDir();

}  // namespace testsupport
