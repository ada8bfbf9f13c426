#include "tests/support/PyFtpdServer.h"

#include <chrono>
#include <fstream>
#include <system_error>
#include <thread>

#include "platform/TextCodec.h"
#include "tests/support/TlsTestServer.h"

namespace testsupport {

namespace {

constexpr platform::Millis kReadyLimit{15000};
// The first start of a Debian server may fetch and unpack the packages first.
constexpr platform::Millis kRealServerReadyLimit{120000};

#ifdef _WIN32
// Wine maps the Linux root to drive Z:.
const std::filesystem::path kPython = L"Z:\\usr\\bin\\python3";
const std::filesystem::path kTempBase = L"Z:\\tmp";
#else
const std::filesystem::path kPython = "/usr/bin/python3";
const std::filesystem::path kTempBase = "/tmp";
#endif

std::wstring Wide(const std::string& text) { return platform::FromAnsi(text); }

// The line the server wrote to its status file, once it is there (the server renames it into
// place whole).
std::optional<std::string> StatusLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    return line;
}

std::filesystem::path ScriptPath() { return SourceDir() / "tools" / "ftpserver.py"; }

const wchar_t* ServerName(PyFtpdServer::Kind kind) {
    switch (kind) {
    case PyFtpdServer::Kind::Vsftpd: return L"vsftpd";
    case PyFtpdServer::Kind::Proftpd: return L"proftpd";
    case PyFtpdServer::Kind::PureFtpd: return L"pure-ftpd";
    default: return L"pyftpdlib";
    }
}

}  // namespace

std::filesystem::path SourceDir() {
    std::wstring dir = EnvironmentVariable(L"ORVANE_SOURCE_DIR");
#ifdef _WIN32
    if (!dir.empty() && dir[0] == L'/') {
        for (wchar_t& c : dir)
            if (c == L'/') c = L'\\';
        dir = L"Z:" + dir;
    }
#endif
    return dir;
}

PyFtpdServer::PyFtpdServer(const Options& options, const std::filesystem::path& rootBase)
    : m_options(options), m_root(rootBase) {}

// The process goes first (closing its input ends it natively), then the status folder (which
// ends it under Wine), then the root.
PyFtpdServer::~PyFtpdServer() = default;

std::unique_ptr<PyFtpdServer> PyFtpdServer::Start(const Options& options, std::string& whyNot,
                                                  bool& unavailable) {
    std::error_code error;
    unavailable = true;
    if (!std::filesystem::exists(kPython, error)) {
        whyNot = "no " + kPython.string() + " on this machine";
        return nullptr;
    }
    if (SourceDir().empty() || !std::filesystem::exists(ScriptPath(), error)) {
        whyNot = "tools/ftpserver.py not found (ORVANE_SOURCE_DIR is not set?)";
        unavailable = false;
        return nullptr;
    }
    std::unique_ptr<PyFtpdServer> server(new PyFtpdServer(options, kTempBase));
    if (!server->Launch(whyNot, unavailable)) return nullptr;
    return server;
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
    m_state.emplace(kTempBase);
    const std::filesystem::path statusFile = m_state->Path() / "status";
    std::vector<std::wstring> arguments{LinuxPathOf(ScriptPath()), LinuxPathOf(Root()),
                                        Wide(m_options.user), Wide(m_options.password), LinuxPathOf(statusFile)};
    arguments.push_back(std::wstring(L"--server=") + ServerName(m_options.kind));
    if (m_options.cp1252) arguments.push_back(L"--cp1252");
    if (m_options.uploadRate > 0) arguments.push_back(L"--upload-rate=" + std::to_wstring(m_options.uploadRate));
    if (m_options.maxPerAddress > 0)
        arguments.push_back(L"--max-per-address=" + std::to_wstring(m_options.maxPerAddress));
    if (m_options.refuseRest) arguments.push_back(L"--refuse-rest");
    if (m_port != 0) arguments.push_back(L"--port=" + std::to_wstring(m_port));
    if (m_options.tls != Options::Tls::None) {
        arguments.push_back(L"--tls=" + LinuxPathOf(TlsTestServer::CertificateFolder()) + L":" +
                            Wide(m_options.certificate));
        if (m_options.tls == Options::Tls::Implicit) arguments.push_back(L"--implicit");
        if (RunningUnderWine()) arguments.push_back(L"--no-tls-reuse");
    }
    try {
        m_process.emplace(kPython.wstring(), arguments);
    } catch (int code) {
        whyNot = "could not start python3 (error " + std::to_string(code) + ")";
        unavailable = false;
        return false;
    }
    // The script writes "port N" once it listens, "missing pyftpdlib" when it cannot. A process
    // that Wine starts from Linux cannot be waited for, so the file is polled, within a bound.
    constexpr platform::Millis kPoll{20};
    // The first TLS server of a test program makes the test certificates first.
    const platform::Millis limit = m_options.kind == Kind::Pyftpdlib && m_options.tls == Options::Tls::None
                                       ? kReadyLimit
                                       : kRealServerReadyLimit;
    for (auto waited = platform::Millis(0); waited < limit; waited += kPoll) {
        if (std::optional<std::string> line = StatusLine(statusFile)) {
            if (line->rfind("port ", 0) == 0) {
                m_port = static_cast<std::uint16_t>(std::stoi(line->substr(5)));
                return true;
            }
            if (*line == "missing pyftpdlib") {
                whyNot = "python3-pyftpdlib is not installed";
                return false;
            }
            if (*line == "needs root") {
                whyNot = "the Debian FTP servers run only as root";
                return false;
            }
            unavailable = false;
            whyNot = "the FTP server did not start: " + *line;
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    unavailable = false;
    whyNot = "the FTP server did not start within " + std::to_string(limit.count()) + " ms";
    return false;
}

void FtpServerFixture::SetUp() {
    std::string whyNot;
    bool unavailable = false;
    m_server = PyFtpdServer::Start(ServerOptions(), whyNot, unavailable);
    if (m_server) return;
    if (unavailable) GTEST_SKIP() << whyNot;
    FAIL() << whyNot;
}

void FtpServerFixture::TearDown() { m_server.reset(); }

}  // namespace testsupport
