#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Time.h"
#include "tests/support/TestListener.h"

namespace testsupport {

// An FTP server on loopback that plays a script of what real servers will not do on request.
// A thread runs the steps in order, recording every command line; after them it reads on, silent.
class FakeFtpServer {
public:
    FakeFtpServer() = default;  // listens on a free loopback port; throws int
    ~FakeFtpServer();           // ends every wait of the server thread and joins it

    std::uint16_t Port() const { return m_listener.Port(); }
    std::string PassiveReply() const;

    // Sends `bytes`; with `pieceSize`, in sends of that many bytes each.
    FakeFtpServer& Send(std::string bytes, std::size_t pieceSize = 0) {
        return Add(Kind::Send, std::move(bytes), pieceSize);
    }
    // Reads the next command line; one that is not `line` (without CR LF) is noted in Failures().
    FakeFtpServer& Expect(std::string line) { return Add(Kind::Expect, std::move(line)); }
    FakeFtpServer& On(std::string line, std::string reply) { return Expect(std::move(line)).Send(std::move(reply)); }
    // Sets `event` / waits until the test sets it.
    FakeFtpServer& Signal(platform::Event event) { return Add(Kind::Signal, {}, 0, std::move(event)); }
    FakeFtpServer& WaitFor(platform::Event event) { return Add(Kind::WaitFor, {}, 0, std::move(event)); }
    // Accepts a connection on the data listener, sends `bytes` on it and closes it: a listing.
    FakeFtpServer& SendData(std::string bytes) { return Add(Kind::SendData, std::move(bytes)); }
    // Closes the connection gracefully, with a reset, or to accept another.
    FakeFtpServer& Close() { return Add(Kind::Close); }
    FakeFtpServer& Reset() { return Add(Kind::Reset); }
    FakeFtpServer& Accept() { return Add(Kind::Accept); }

    void Start() { m_thread = std::thread([this] { Run(); }); }
    // Waits until the script has ended and the client has closed; false after `limit`.
    bool Finish(platform::Millis limit = platform::Millis(5000));

    // Without CR LF, across connections.
    std::vector<std::string> Received() { return Copy(m_received); }
    // Steps that did not go as the script said, and errors of the server thread.
    std::vector<std::string> Failures() { return Copy(m_failures); }

private:
    enum class Kind { Send, Expect, Signal, WaitFor, Close, Reset, Accept, SendData };
    struct Step {
        Kind kind;
        std::string text;
        std::size_t pieceSize;
        platform::Event event;
    };

    FakeFtpServer& Add(Kind kind, std::string text = {}, std::size_t pieceSize = 0,
                       platform::Event event = platform::Event(platform::EventReset::Manual));
    void Run();
    bool RunStep(Step& step, platform::Socket& client, std::string& buffered);  // false: the client is gone
    bool ReadLine(platform::Socket& client, std::string& buffered, std::string& line);
    std::vector<std::string> Copy(const std::vector<std::string>& list) {
        std::lock_guard lock(m_lock);
        return list;
    }
    void Append(std::vector<std::string>& list, std::string text) {
        std::lock_guard lock(m_lock);
        list.push_back(std::move(text));
    }

    TestListener m_listener;
    TestListener m_dataListener;
    std::vector<Step> m_steps;
    platform::Event m_stop{platform::EventReset::Manual};
    platform::Event m_done{platform::EventReset::Manual};
    std::mutex m_lock;
    std::vector<std::string> m_received;
    std::vector<std::string> m_failures;
    std::thread m_thread;
};

}  // namespace testsupport
