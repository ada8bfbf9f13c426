#include "tests/support/TlsTestServer.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <thread>

#include "platform/TextCodec.h"
#include "tests/support/PyFtpdServer.h"

namespace testsupport {

const std::filesystem::path& TlsTestServer::CertificateFolder() {
    static const TempDir folder(HostPath("/tmp"));
    return folder.Path();
}

std::unique_ptr<TlsTestServer> TlsTestServer::Start(std::string& whyNot, bool& unavailable) {
    std::error_code error;
    unavailable = !std::filesystem::exists(HostPath("/usr/bin/openssl"), error);
    if (unavailable) {
        whyNot = "no openssl on this machine";
        return nullptr;
    }
    std::unique_ptr<TlsTestServer> server(new TlsTestServer());
    server->m_state.emplace(HostPath("/tmp"));
    const std::optional<std::string> line =
        StartScript(server->m_process, "tests/support/tlsserver.py",
                    {LinuxPathOf(CertificateFolder()), LinuxPathOf(server->m_state->Path())},
                    server->m_state->Path() / "status", platform::Millis(30000), whyNot, unavailable);
    if (!line) return nullptr;
    // "ports trusted=41000 tls11=41001 ..."
    std::istringstream words(*line);
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos)
            server->m_ports[word.substr(0, equals)] = static_cast<std::uint16_t>(std::stoi(word.substr(equals + 1)));
    }
    return server;
}

// Its complete lines: one still being written has no line end yet.
std::string TlsTestServer::Log() const {
    std::ifstream in(m_state->Path() / "log", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    return text.substr(0, text.rfind('\n') + 1);
}

bool TlsTestServer::WaitForLogLine(const std::string& line, platform::Millis limit) {
    constexpr platform::Millis kPoll{20};
    for (auto waited = platform::Millis(0);; waited += kPoll) {
        if (("\n" + Log()).find("\n" + line) != std::string::npos) return true;
        if (waited >= limit) return false;
        std::this_thread::sleep_for(kPoll);
    }
}

TlsTestServer::Facts TlsTestServer::CertificateFacts(const std::string& certificate) {
    std::ifstream in(CertificateFolder() / (certificate + ".facts"));
    std::string key, fingerprint;  // "fingerprint F", "notbefore N", "notafter N", one a line
    std::int64_t notBefore = 0, notAfter = 0;
    in >> key >> fingerprint >> key >> notBefore >> key >> notAfter;
    return {platform::ParseFingerprint(platform::FromAnsi(fingerprint)).value_or(platform::Sha256Fingerprint{}),
            std::chrono::sys_seconds(std::chrono::seconds(notBefore)),
            std::chrono::sys_seconds(std::chrono::seconds(notAfter))};
}

}  // namespace testsupport
