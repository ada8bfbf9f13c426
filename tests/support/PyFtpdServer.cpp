#include "tests/support/PyFtpdServer.h"

#include <fstream>
#include <system_error>
#include <thread>

#include "platform/TextCodec.h"
#include "tests/support/TlsTestServer.h"

namespace testsupport {

std::filesystem::path SourceDir() {
    const std::filesystem::path dir = EnvironmentVariable(L"ORVANE_SOURCE_DIR");
    return dir.empty() ? dir : HostPath(dir.string());
}

std::optional<std::string> StartScript(std::optional<ChildProcess>& process, const std::filesystem::path& script,
                                       std::vector<std::wstring> arguments, const std::filesystem::path& status,
                                       platform::Millis limit, std::string& whyNot, bool& unavailable) {
    const std::filesystem::path python = HostPath("/usr/bin/python3");
    std::error_code error;
    unavailable = !std::filesystem::exists(python, error);
    if (unavailable || !std::filesystem::exists(SourceDir() / script, error)) {
        whyNot = unavailable ? "no python3 on this machine" : script.string() + " not found (no ORVANE_SOURCE_DIR?)";
        return std::nullopt;
    }
    arguments.insert(arguments.begin(), LinuxPathOf(SourceDir() / script));
    try {
        process.emplace(python.wstring(), arguments);
    } catch (int code) {
        whyNot = "could not start python3 (error " + std::to_string(code) + ")";
        return std::nullopt;
    }
    constexpr platform::Millis kPoll{20};
    for (auto waited = platform::Millis(0); waited < limit; waited += kPoll) {
        std::ifstream in(status);
        std::string line;
        if (std::getline(in, line) && !in.eof()) return line;  // the scripts write it whole
        std::this_thread::sleep_for(kPoll);
    }
    whyNot = script.string() + " did not start within " + std::to_string(limit.count()) + " ms";
    return std::nullopt;
}

std::unique_ptr<PyFtpdServer> PyFtpdServer::Start(const Options& options, std::string& whyNot, bool& unavailable) {
    std::unique_ptr<PyFtpdServer> server(new PyFtpdServer(options));
    return server->Launch(whyNot, unavailable) ? std::move(server) : nullptr;
}

void PyFtpdServer::Stop() {
    m_process.reset();
    m_state.reset();
}

bool PyFtpdServer::StartAgain(std::string& whyNot) {
    Stop();
    bool unavailable = false;
    return Launch(whyNot, unavailable);
}

// Starts the script on m_port (0 for a free one) and waits, bounded, until it listens.
bool PyFtpdServer::Launch(std::string& whyNot, bool& unavailable) {
    m_state.emplace(HostPath("/tmp"));
    const std::filesystem::path statusFile = m_state->Path() / "status";
    const wchar_t* const servers[] = {L"pyftpdlib", L"vsftpd", L"proftpd", L"pure-ftpd"};  // by Kind
    std::vector<std::wstring> arguments{LinuxPathOf(Root()), platform::FromAnsi(m_options.user),
                                        platform::FromAnsi(m_options.password), LinuxPathOf(statusFile),
                                        std::wstring(L"--server=") + servers[static_cast<int>(m_options.kind)]};
    if (m_options.cp1252) arguments.push_back(L"--cp1252");
    if (m_options.uploadRate > 0) arguments.push_back(L"--upload-rate=" + std::to_wstring(m_options.uploadRate));
    if (m_options.maxPerAddress > 0)
        arguments.push_back(L"--max-per-address=" + std::to_wstring(m_options.maxPerAddress));
    if (m_options.refuseRest) arguments.push_back(L"--refuse-rest");
    if (m_port != 0) arguments.push_back(L"--port=" + std::to_wstring(m_port));
    if (m_options.tls != Options::Tls::None) {
        arguments.push_back(L"--tls=" + LinuxPathOf(TlsTestServer::CertificateFolder()) + L":" +
                            platform::FromAnsi(m_options.certificate));
        if (m_options.tls == Options::Tls::Implicit) arguments.push_back(L"--implicit");
        if (RunningUnderWine()) arguments.push_back(L"--no-tls-reuse");
    }
    // The first start of a Debian server may fetch and unpack the packages first, the first TLS
    // server of a test program makes the test certificates first.
    const bool quick = m_options.kind == Kind::Pyftpdlib && m_options.tls == Options::Tls::None;
    const std::optional<std::string> line = StartScript(m_process, "tools/ftpserver.py", arguments, statusFile,
                                                        platform::Millis(quick ? 15000 : 120000), whyNot, unavailable);
    // "port N" once it listens, "missing pyftpdlib" or "needs root" when it cannot.
    if (line && line->rfind("port ", 0) == 0) {
        m_port = static_cast<std::uint16_t>(std::stoi(line->substr(5)));
        return true;
    }
    if (line) {
        unavailable = *line == "missing pyftpdlib" || *line == "needs root";
        whyNot = unavailable ? "the FTP server cannot run here: " + *line : "the FTP server did not start: " + *line;
    }
    return false;
}

void FtpServerFixture::SetUp() {
    std::string whyNot;
    bool unavailable = false;
    m_server = PyFtpdServer::Start(ServerOptions(), whyNot, unavailable);
    if (!m_server && unavailable) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(m_server) << whyNot;
}

}  // namespace testsupport
