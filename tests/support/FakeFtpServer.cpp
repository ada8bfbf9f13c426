#include "tests/support/FakeFtpServer.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/ErrorCodes.h"

namespace testsupport {

// Every wait of the server is bounded, so that a broken test ends; the tests' own limits are shorter.
constexpr platform::Millis kServerWait{20000};

FakeFtpServer::~FakeFtpServer() { Finish(platform::Millis(0)); }

std::string FakeFtpServer::PassiveReply() const {
    const std::uint16_t port = m_dataListener.Port();
    return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
           ").\r\n";
}

FakeFtpServer& FakeFtpServer::Add(Kind kind, std::string text, std::size_t pieceSize, platform::Event event) {
    m_steps.push_back({kind, std::move(text), pieceSize, std::move(event)});
    return *this;
}

bool FakeFtpServer::Finish(platform::Millis limit) {
    const bool done = m_done.Wait(limit);
    m_stop.Set();
    if (m_thread.joinable()) m_thread.join();
    if (!done) Append(m_failures, "the script or the client did not finish in time");
    return done;
}

void FakeFtpServer::Run() {
    try {
        platform::Socket client = m_listener.Accept(m_stop, kServerWait);
        std::string buffered;
        // Once the script is over (or the client has gone), the server listens without a word.
        for (std::size_t i = 0; i < m_steps.size() && RunStep(m_steps[i], client, buffered); ++i) {
        }
        for (std::string line; ReadLine(client, buffered, line);) {
        }
    } catch (int error) {
        if (!m_stop.IsSet()) Append(m_failures, "server error " + std::to_string(error));
    }
    m_done.Set();
}

bool FakeFtpServer::RunStep(Step& step, platform::Socket& client, std::string& buffered) {
    switch (step.kind) {
    case Kind::Send: {
        const std::size_t piece = step.pieceSize ? step.pieceSize : std::max<std::size_t>(step.text.size(), 1);
        for (std::size_t at = 0; at < step.text.size(); at += piece)
            platform::Send(client, std::string_view(step.text).substr(at, piece), m_stop, kServerWait);
        break;
    }
    case Kind::Expect: {
        std::string line;
        if (!ReadLine(client, buffered, line)) {
            Append(m_failures, "expected \"" + step.text + "\", but the client closed the connection");
            return false;
        }
        if (line != step.text) Append(m_failures, "expected \"" + step.text + "\", received \"" + line + "\"");
        break;
    }
    case Kind::Signal: step.event.Set(); break;
    case Kind::WaitFor:
        if (!step.event.Wait(kServerWait)) Append(m_failures, "the test never released a WaitFor step");
        break;
    case Kind::Close: client.Close(); break;
    case Kind::Reset: client.CloseAbortive(); break;
    case Kind::Accept:
        client.Close();
        buffered.clear();
        client = m_listener.Accept(m_stop, kServerWait);
        break;
    case Kind::SendData: {  // closed here: the end of the stream is the end of the data
        platform::Socket data = m_dataListener.Accept(m_stop, kServerWait);
        platform::Send(data, step.text, m_stop, kServerWait);
        break;
    }
    }
    return true;
}

// Reads and records the next command line; false once the client has closed.
bool FakeFtpServer::ReadLine(platform::Socket& client, std::string& buffered, std::string& line) {
    std::size_t lf;
    while ((lf = buffered.find('\n')) == std::string::npos) {
        char chunk[1024];
        std::size_t n = 0;
        try {
            if (client.IsOpen()) n = platform::Receive(client, chunk, m_stop, kServerWait);
        } catch (int error) {
            if (error != platform::kErrorConnectionReset && error != platform::kErrorConnectionAborted) throw;
        }
        if (n == 0) {
            // A last line without its line end still counts as received: it went on the wire.
            if (!buffered.empty()) Append(m_received, std::exchange(buffered, {}));
            return false;
        }
        buffered.append(chunk, n);
    }
    line = buffered.substr(0, lf - (lf > 0 && buffered[lf - 1] == '\r'));
    buffered.erase(0, lf + 1);
    Append(m_received, line);
    return true;
}

}  // namespace testsupport
