#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/FTPReply.h"
#include "Orvane/engine/protocol/FTPReplyReader.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "platform/Event.h"
#include "platform/Socket.h"

// The control connection: the socket and the bytes received past the last complete reply.
// Commands and sequences above it see only whole replies. One command is in flight at a time,
// on one thread; every wait also watches the task's abort event and is bounded by its own
// time-out, counted from the start of that wait.
class CFTPControlConnection {
public:
    CFTPControlConnection() = default;
    explicit CFTPControlConnection(platform::Socket socket) : m_socket(std::move(socket)) {}

    // Resolves `server` (a host name or dotted IPv4 text, given to the resolver in the thread's
    // ANSI code page) and connects to `port`. Throws int: 11001 for a name that does not
    // resolve, 10061 refused, 995 aborted, 10060 when the connect takes longer than the send
    // time-out, or the system's number.
    static CFTPControlConnection ConnectToServer(const std::wstring& server, std::uint16_t port,
                                                 platform::Event abort, const FTPTimeouts& timeouts);

    bool IsOpen() const { return m_socket.IsOpen(); }
    // The server's address, against which a passive-mode reply can be checked. Throws int.
    platform::Endpoint Peer() const { return platform::PeerEndpoint(m_socket); }
    void Close() { m_socket.Close(); }

    // Sends one command line (8-bit, with its CR LF) whole; `traced` is what the trace shows of
    // it (a password is masked there). Throws int: 995, 10060 or the system's number.
    void SendCommand(std::string_view commandText, std::wstring_view traced, platform::Event& abort,
                     platform::Millis sendTimeout);

    // The bytes of the next complete reply, receiving as needed; bytes past it stay for the next
    // call. `complete` is false when the server closed the connection first; `bytes` then holds
    // what had arrived. Throws int: 995, 10060, 6 for a reply longer than 64 KiB, or the
    // system's number.
    struct RawReply {
        std::string bytes;
        bool complete = false;
    };
    RawReply ReceiveReply(platform::Event& abort, platform::Millis receiveTimeout);

    // The next final reply, with the code and text of its last line; preliminary (1xx) replies
    // are read past. A connection closed before the reply was complete gives code 0, whatever
    // the cut-off line began with. Throws as ReceiveReply.
    FTPReply ReadReply(platform::Event& abort, platform::Millis receiveTimeout);

    // The greeting after connect: the code of its first line and all of its text. A 1xx
    // greeting is not read past. Throws as ReceiveReply.
    FTPReply ReadGreeting(platform::Event& abort, platform::Millis receiveTimeout);

private:
    platform::Socket m_socket;
    CFTPReplyReader m_reader;
};
