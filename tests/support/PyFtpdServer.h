#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// A real FTP server on a free loopback port with a temporary root, started by tools/ftpserver.py:
// Debian's pyftpdlib, serving one user with full rights, or one of Debian's vsftpd, proftpd and
// pure-ftpd, which need root and serve "/upload" as the writable folder (see the script).
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

    // Starts the server and waits (bounded) until it listens. Null on failure, as StartScript.
    static std::unique_ptr<PyFtpdServer> Start(const Options& options, std::string& whyNot,
                                               bool& unavailable);

    // Ends the server as a crash would: its connections drop. Start again resumes it on the same
    // port and folder, as a server that comes back; false (with `whyNot`) if it does not.
    void Stop();
    bool StartAgain(std::string& whyNot);
    // The certificate a TLS server shows from its next start on.
    void UseCertificate(std::string certificate) { m_options.certificate = std::move(certificate); }

    std::uint16_t Port() const { return m_port; }
    const std::filesystem::path& Root() const { return m_root.Path(); }  // the user's "/"
    const Options& Settings() const { return m_options; }

private:
    explicit PyFtpdServer(const Options& options) : m_options(options) {}
    bool Launch(std::string& whyNot, bool& unavailable);

    // Destroyed in reverse: the process (closing its input ends it natively), the status folder
    // (which ends it under Wine), the root.
    Options m_options;
    TempDir m_root{HostPath("/tmp")};
    std::optional<TempDir> m_state;
    std::optional<ChildProcess> m_process;
    std::uint16_t m_port = 0;
};

// Owns one PyFtpdServer per test: started in SetUp (the test is skipped, with the reason, when
// the machine has no pyftpdlib), ended in TearDown. A derived SetUp goes on only when
// ServerStarted(); otherwise the test is already skipped or failed.
class FtpServerFixture : public ::testing::Test {
protected:
    virtual PyFtpdServer::Options ServerOptions() const { return {}; }
    void SetUp() override;
    void TearDown() override { m_server.reset(); }
    bool ServerStarted() const { return m_server != nullptr; }

    PyFtpdServer& Server() { return *m_server; }
    std::uint16_t Port() const { return m_server->Port(); }
    const std::filesystem::path& Root() const { return m_server->Root(); }

private:
    std::unique_ptr<PyFtpdServer> m_server;
};

// The source tree, from ORVANE_SOURCE_DIR (set by ctest), as a path of this platform.
std::filesystem::path SourceDir();

// Starts the python script `script` of the source tree with `arguments` and waits (bounded by
// `limit`) until it has written the first line of `status`, which it returns. Files, because a
// Linux program that Wine starts neither writes to the pipes it is handed nor can be waited for.
// Null with `whyNot` otherwise; `unavailable` then tells a machine that cannot run it (a reason to
// skip) from a script that did not start (a failure).
std::optional<std::string> StartScript(std::optional<ChildProcess>& process, const std::filesystem::path& script,
                                       std::vector<std::wstring> arguments, const std::filesystem::path& status,
                                       platform::Millis limit, std::string& whyNot, bool& unavailable);

}  // namespace testsupport
