#include "tests/support/TlsTestServer.h"

#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "platform/TextCodec.h"
#include "tests/support/PyFtpdServer.h"

namespace testsupport {

namespace {

constexpr platform::Millis kReadyLimit{30000};  // the first start also makes the certificates
constexpr platform::Millis kPoll{20};

#ifdef _WIN32
// Wine maps the Linux root to drive Z:.
const std::filesystem::path kPython = L"Z:\\usr\\bin\\python3";
const std::filesystem::path kOpenssl = L"Z:\\usr\\bin\\openssl";
const std::filesystem::path kTempBase = L"Z:\\tmp";
#else
const std::filesystem::path kPython = "/usr/bin/python3";
const std::filesystem::path kOpenssl = "/usr/bin/openssl";
const std::filesystem::path kTempBase = "/tmp";
#endif

std::filesystem::path ScriptPath() { return SourceDir() / "tests" / "support" / "tlsserver.py"; }

std::vector<std::string> CompleteLines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;  // a line still being written has no line end yet
}

// "ports trusted=41000 tls12=41001 ..."
std::map<std::string, std::uint16_t> ParsePorts(const std::string& line) {
    std::map<std::string, std::uint16_t> ports;
    std::istringstream words(line.substr(6));
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos)
            ports[word.substr(0, equals)] = static_cast<std::uint16_t>(std::stoi(word.substr(equals + 1)));
    }
    return ports;
}

}  // namespace

const std::filesystem::path& TlsTestServer::CertificateFolder() {
    static const TempDir folder(kTempBase);
    return folder.Path();
}

std::unique_ptr<TlsTestServer> TlsTestServer::Start(std::string& whyNot, bool& unavailable) {
    std::error_code error;
    unavailable = true;
    for (const auto& program : {kPython, kOpenssl}) {
        if (!std::filesystem::exists(program, error)) {
            whyNot = "no " + program.string() + " on this machine";
            return nullptr;
        }
    }
    unavailable = false;
    if (SourceDir().empty() || !std::filesystem::exists(ScriptPath(), error)) {
        whyNot = "tests/support/tlsserver.py not found (ORVANE_SOURCE_DIR is not set?)";
        return nullptr;
    }
    std::unique_ptr<TlsTestServer> server(new TlsTestServer());
    if (!server->Launch(whyNot, unavailable)) return nullptr;
    return server;
}

// The process goes first (closing its input ends it natively), then the state folder (which ends
// it under Wine).
TlsTestServer::~TlsTestServer() {
    m_process.reset();
    m_state.reset();
}

bool TlsTestServer::Launch(std::string& whyNot, bool& unavailable) {
    m_state.emplace(kTempBase);
    try {
        m_process.emplace(kPython.wstring(), std::vector<std::wstring>{LinuxPathOf(ScriptPath()),
                                                                       LinuxPathOf(CertificateFolder()),
                                                                       LinuxPathOf(m_state->Path())});
    } catch (int code) {
        whyNot = "could not start python3 (error " + std::to_string(code) + ")";
        return false;
    }
    // A process that Wine starts from Linux cannot be waited for, so the file is polled, within a
    // bound.
    const std::filesystem::path status = m_state->Path() / "status";
    for (auto waited = platform::Millis(0); waited < kReadyLimit; waited += kPoll) {
        std::vector<std::string> lines = CompleteLines(status);
        if (!lines.empty() && lines[0].rfind("ports ", 0) == 0) {
            m_ports = ParsePorts(lines[0]);
            return true;
        }
        std::this_thread::sleep_for(kPoll);
    }
    unavailable = false;
    whyNot = "the TLS server did not start within " + std::to_string(kReadyLimit.count()) + " ms";
    return false;
}

platform::Endpoint TlsTestServer::Endpoint(const std::string& service) const {
    const auto found = m_ports.find(service);
    return {{{127, 0, 0, 1}}, found == m_ports.end() ? std::uint16_t(0) : found->second};
}

std::vector<std::string> TlsTestServer::LogLines() const { return CompleteLines(m_state->Path() / "log"); }

std::string TlsTestServer::Log() const {
    std::string text;
    for (const std::string& line : LogLines()) text += line + "\n";
    return text;
}

bool TlsTestServer::WaitForLogLine(const std::string& line, platform::Millis limit) {
    for (auto waited = platform::Millis(0);; waited += kPoll) {
        const std::vector<std::string> lines = LogLines();
        m_taken.resize(lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!m_taken[i] && lines[i].rfind(line, 0) == 0) {
                m_taken[i] = true;
                return true;
            }
        }
        if (waited >= limit) return false;
        std::this_thread::sleep_for(kPoll);
    }
}

TlsTestServer::Facts TlsTestServer::CertificateFacts(const std::string& certificate) {
    Facts facts;
    std::ifstream in(CertificateFolder() / (certificate + ".facts"));
    for (std::string key, value; in >> key >> value;) {
        if (key == "fingerprint") {
            if (auto parsed = platform::ParseFingerprint(platform::FromAnsi(value))) facts.fingerprint = *parsed;
        } else if (key == "notbefore") {
            facts.notBefore = std::chrono::sys_seconds(std::chrono::seconds(std::stoll(value)));
        } else if (key == "notafter") {
            facts.notAfter = std::chrono::sys_seconds(std::chrono::seconds(std::stoll(value)));
        }
    }
    return facts;
}

}  // namespace testsupport
