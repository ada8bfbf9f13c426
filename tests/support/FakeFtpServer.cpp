#include "tests/support/FakeFtpServer.h"

#include <algorithm>
#include <span>

#include "platform/ErrorCodes.h"

namespace testsupport {

namespace {

// Every wait of the server is bounded, so that a broken test ends instead of hanging; the
// tests' own time-outs are far shorter.
constexpr platform::Millis kServerWait{20000};

}  // namespace

FakeFtpServer::FakeFtpServer() = default;

FakeFtpServer::~FakeFtpServer() {
    m_stop.Set();
    if (m_thread.joinable()) m_thread.join();
}

FakeFtpServer& FakeFtpServer::Send(std::string bytes, std::size_t pieceSize) {
    m_steps.emplace_back(Step::Kind::Send, std::move(bytes), pieceSize);
    return *this;
}

FakeFtpServer& FakeFtpServer::Expect(std::string line) {
    m_steps.emplace_back(Step::Kind::Expect, std::move(line));
    return *this;
}

FakeFtpServer& FakeFtpServer::Signal(platform::Event event) {
    m_steps.emplace_back(Step::Kind::Signal, std::string(), 0, std::move(event));
    return *this;
}

FakeFtpServer& FakeFtpServer::WaitFor(platform::Event event) {
    m_steps.emplace_back(Step::Kind::WaitFor, std::string(), 0, std::move(event));
    return *this;
}

std::string FakeFtpServer::PassiveReply() const {
    const std::uint16_t port = m_dataListener.Port();
    return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
           ").\r\n";
}

FakeFtpServer& FakeFtpServer::SendData(std::string bytes) {
    m_steps.emplace_back(Step::Kind::SendData, std::move(bytes));
    return *this;
}

FakeFtpServer& FakeFtpServer::Close() {
    m_steps.emplace_back(Step::Kind::Close);
    return *this;
}

FakeFtpServer& FakeFtpServer::Reset() {
    m_steps.emplace_back(Step::Kind::Reset);
    return *this;
}

FakeFtpServer& FakeFtpServer::Accept() {
    m_steps.emplace_back(Step::Kind::Accept);
    return *this;
}

void FakeFtpServer::Start() { m_thread = std::thread([this] { Run(); }); }

bool FakeFtpServer::Finish(platform::Millis limit) {
    const bool done = m_done.Wait(limit);
    m_stop.Set();
    if (m_thread.joinable()) m_thread.join();
    if (!done) Note("the script or the client did not finish in time");
    return done;
}

std::vector<std::string> FakeFtpServer::Received() {
    std::lock_guard lock(m_lock);
    return m_received;
}

std::vector<std::string> FakeFtpServer::Failures() {
    std::lock_guard lock(m_lock);
    return m_failures;
}

void FakeFtpServer::Note(std::string failure) {
    std::lock_guard lock(m_lock);
    m_failures.push_back(std::move(failure));
}

void FakeFtpServer::Run() {
    try {
        platform::Socket client = m_listener.Accept(m_stop, kServerWait);
        std::string buffered;
        RunSteps(client, buffered);
        // The script is over: keep listening without a word until the client goes.
        std::string line;
        while (client.IsOpen() && ReadLine(client, buffered, line)) {
        }
    } catch (int error) {
        if (!m_stop.IsSet()) Note("server error " + std::to_string(error));
    }
    m_done.Set();
}

void FakeFtpServer::RunSteps(platform::Socket& client, std::string& buffered) {
    for (Step& step : m_steps) {
        switch (step.kind) {
        case Step::Kind::Send: {
            const std::size_t piece = step.pieceSize ? step.pieceSize : std::max<std::size_t>(step.text.size(), 1);
            for (std::size_t at = 0; at < step.text.size(); at += piece) {
                const std::size_t n = std::min(piece, step.text.size() - at);
                platform::Send(client, std::span<const char>(step.text.data() + at, n), m_stop, kServerWait);
            }
            break;
        }
        case Step::Kind::Expect: {
            std::string line;
            if (!ReadLine(client, buffered, line)) {
                Note("expected \"" + step.text + "\", but the client closed the connection");
                return;
            }
            if (line != step.text) Note("expected \"" + step.text + "\", received \"" + line + "\"");
            break;
        }
        case Step::Kind::Signal: step.event.Set(); break;
        case Step::Kind::WaitFor:
            if (!step.event.Wait(kServerWait)) Note("the test never released a WaitFor step");
            break;
        case Step::Kind::Close: client.Close(); break;
        case Step::Kind::Reset: client.CloseAbortive(); break;
        case Step::Kind::Accept:
            client.Close();
            buffered.clear();
            client = m_listener.Accept(m_stop, kServerWait);
            break;
        case Step::Kind::SendData: {
            platform::Socket data = m_dataListener.Accept(m_stop, kServerWait);
            platform::Send(data, step.text, m_stop, kServerWait);
            break;  // closed here: the end of the stream is the end of the data
        }
        }
    }
}

bool FakeFtpServer::ReadLine(platform::Socket& client, std::string& buffered, std::string& line) {
    for (;;) {
        const std::size_t lf = buffered.find('\n');
        if (lf != std::string::npos) {
            line = buffered.substr(0, lf);
            buffered.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::lock_guard lock(m_lock);
            m_received.push_back(line);
            return true;
        }
        if (!client.IsOpen()) return false;
        char chunk[1024];
        std::size_t n = 0;
        try {
            n = platform::Receive(client, chunk, m_stop, kServerWait);
        } catch (int error) {
            if (error != platform::kErrorConnectionReset && error != platform::kErrorConnectionAborted) throw;
        }
        if (n == 0) {
            // A last line without its line end still counts as received: it went on the wire.
            if (!buffered.empty()) {
                std::lock_guard lock(m_lock);
                m_received.push_back(buffered);
                buffered.clear();
            }
            return false;
        }
        buffered.append(chunk, n);
    }
}

}  // namespace testsupport
