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

// An FTP server in the test process, on loopback, that plays a script: the things real servers
// will not do on request (replies cut into pieces, silence, a dropped connection, hostile
// lengths, one-time-password challenges). Built up step by step, then Start()ed; a thread
// accepts the first connection and runs the steps in order. Every command line it reads is
// recorded. When the script is done it goes on reading (and recording) without answering until
// the client closes.
class FakeFtpServer {
public:
    FakeFtpServer();  // listens on a free loopback port; throws int
    ~FakeFtpServer(); // ends every wait of the server thread and joins it

    std::uint16_t Port() const { return m_listener.Port(); }
    // The 227 reply that names this server's data listener.
    std::string PassiveReply() const;

    // Sends `bytes`; with `pieceSize`, in sends of that many bytes each (the client sees them
    // as separate segments as far as TCP lets it).
    FakeFtpServer& Send(std::string bytes, std::size_t pieceSize = 0);
    // Reads the next command line and records it; when it is not `line` (without CR LF), the
    // mismatch is noted in Failures().
    FakeFtpServer& Expect(std::string line);
    // Expect(line), then Send(reply).
    FakeFtpServer& On(std::string line, std::string reply) { return Expect(std::move(line)).Send(std::move(reply)); }
    // Sets `event`, to let the test know the script got here.
    FakeFtpServer& Signal(platform::Event event);
    // Waits until the test sets `event`.
    FakeFtpServer& WaitFor(platform::Event event);
    // Accepts a connection on the data listener, sends `bytes` on it and closes it: a listing.
    FakeFtpServer& SendData(std::string bytes);
    // Closes the connection gracefully, or with a reset.
    FakeFtpServer& Close();
    FakeFtpServer& Reset();
    // Closes the current connection and accepts the next one.
    FakeFtpServer& Accept();

    void Start();
    // Waits until the script has ended and the client has closed the connection; false when
    // that did not happen within `limit` (the server is then stopped). Received() is complete
    // afterwards.
    bool Finish(platform::Millis limit = platform::Millis(5000));

    // The command lines received so far, without CR LF, in order, across connections.
    std::vector<std::string> Received();
    // Steps that did not go as the script said, and errors of the server thread.
    std::vector<std::string> Failures();

private:
    struct Step {
        enum class Kind { Send, Expect, Signal, WaitFor, Close, Reset, Accept, SendData };
        explicit Step(Kind k, std::string t = {}, std::size_t piece = 0,
                      platform::Event e = platform::Event(platform::EventReset::Manual))
            : kind(k), text(std::move(t)), pieceSize(piece), event(std::move(e)) {}
        Kind kind;
        std::string text;
        std::size_t pieceSize;
        platform::Event event;
    };

    void Run();
    void RunSteps(platform::Socket& client, std::string& buffered);
    bool ReadLine(platform::Socket& client, std::string& buffered, std::string& line);
    void Note(std::string failure);

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
