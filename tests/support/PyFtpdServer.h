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

// A real FTP server on a free loopback port with a temporary root, started by tools/ftpserver.py
// (which says what each kind serves; all but pyftpdlib need root).
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
        // pyftpdlib and vsftpd, with a certificate of TlsTestServer; Implicit is vsftpd's.
        enum class Tls { None, Explicit, Implicit };
        Tls tls = Tls::None;
        std::string certificate = "leaf";
    };

    // Starts the server and waits (bounded) until it listens. Null on failure, as StartScript.
    static std::unique_ptr<PyFtpdServer> Start(const Options& options, std::string& whyNot, bool& unavailable);

    // Ends the server as a crash would; StartAgain brings it back on the same port and folder.
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

    // Destroyed in reverse: the process (its input closing ends it natively), the status folder
    // (ends it under Wine), the root.
    Options m_options;
    TempDir m_root{HostPath("/tmp")};
    std::optional<TempDir> m_state;
    std::optional<ChildProcess> m_process;
    std::uint16_t m_port = 0;
};

// One PyFtpdServer per test (skipped when the machine cannot run it). A derived SetUp goes on
// only when ServerStarted().
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

// Starts the python script `script` of the source tree and returns the first line it writes to
// `status` (a file: a Linux program that Wine starts does not write to our pipes), waiting up to
// `limit`. Null with `whyNot` otherwise; `unavailable` then means a reason to skip, not to fail.
std::optional<std::string> StartScript(std::optional<ChildProcess>& process, const std::filesystem::path& script,
                                       std::vector<std::wstring> arguments, const std::filesystem::path& status,
                                       platform::Millis limit, std::string& whyNot, bool& unavailable);

}  // namespace testsupport
