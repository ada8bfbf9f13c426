#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/FTPFeatures.h"
#include "Orvane/engine/protocol/FTPReply.h"
#include "Orvane/engine/protocol/FTPReplyReader.h"
#include "Orvane/engine/protocol/FTPStream.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/TextCodec.h"
#include "platform/Tls.h"

// The control connection: the socket and the bytes received past the last complete reply.
// Commands and sequences above it see only whole replies. One command is in flight at a time,
// on one thread; every wait also watches the task's abort event and is bounded by its own
// time-out, counted from the start of that wait.
//
// Once secured (RFC 4217), the control connection runs inside TLS, and it knows the credentials
// its data connections share with it once PROT P has been agreed.
//
// It also knows how text travels on it: in the ANSI code pages (the thread's for what we send,
// the system's for what we read) until the server offers UTF-8 (RFC 2640), then in UTF-8 both
// ways, for every name, reply and listing.
class CFTPControlConnection {
public:
    CFTPControlConnection() = default;
    explicit CFTPControlConnection(platform::Socket socket) : m_stream(std::move(socket)) {}

    // Resolves `server` (a host name or dotted IPv4 text, given to the resolver in the thread's
    // ANSI code page) and connects to `port`. Throws int: 11001 for a name that does not
    // resolve, 10061 refused, 995 aborted, 10060 when the connect takes longer than the send
    // time-out, or the system's number.
    static CFTPControlConnection ConnectToServer(const std::wstring& server, std::uint16_t port,
                                                 platform::Event abort, const FTPTimeouts& timeouts);

    bool IsOpen() const { return m_stream.IsOpen(); }
    // The server's address, against which a passive-mode reply can be checked. Throws int.
    platform::Endpoint Peer() const { return m_stream.Peer(); }
    void Close() { m_stream.Drop(); }

    // Runs the TLS handshake on the connection (after 234 to AUTH TLS, or at once for implicit
    // TLS), keeping `credentials` for the data connections. Throws as CFTPStream::Secure; a
    // connection whose handshake failed carries nothing more.
    void Secure(const platform::TlsCredentials& credentials, platform::Event& abort, platform::Millis limit);
    // The TLS facts of the control connection; null while plain.
    const platform::TlsStream* Tls() const { return m_stream.Tls(); }
    // The server's certificate, once a handshake got that far (also when it was refused).
    const std::optional<platform::TlsCertificate>& PeerCertificate() const { return m_stream.PeerCertificate(); }
    // The server agreed to PROT P: from now on every data connection runs TLS too.
    void ProtectData() { m_dataCredentials = m_credentials; }
    // The credentials a data connection handshakes with; none while data travel in clear.
    const std::optional<platform::TlsCredentials>& DataCredentials() const { return m_dataCredentials; }

    // What the server listed in its answer to FEAT; nothing before it was asked.
    const FTPFeatures& Features() const { return m_features; }
    void SetFeatures(FTPFeatures features) { m_features = std::move(features); }
    // From now on, names go out and replies and listings come in as UTF-8.
    void UseUtf8() { m_utf8 = true; }
    bool UsesUtf8() const { return m_utf8; }

    // The code page of what we send (names, and the trace of our commands), and of what we read
    // (replies, listings, and the transcript).
    platform::CodePage SendPage() const {
        return m_utf8 ? platform::CodePage::Utf8 : platform::CodePage::ThreadAnsi;
    }
    platform::CodePage ReceivePage() const {
        return m_utf8 ? platform::CodePage::Utf8 : platform::CodePage::SystemAnsi;
    }

    // `text` (a file or folder name, a path) as this connection sends it. Throws int 1113 when a
    // character has no counterpart in the ANSI code page, or the text is ill-formed UTF-16: a
    // name must never reach the server as another one.
    std::string WireName(std::wstring_view text) const;

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
    // the cut-off line began with. `whole`, when given, receives every line of that reply (for
    // replies whose body matters, as FEAT's). Throws as ReceiveReply.
    FTPReply ReadReply(platform::Event& abort, platform::Millis receiveTimeout, std::string* whole = nullptr);

    // The next reply, preliminary (1xx) or not, for the transfer commands, whose data connection
    // waits for the 1xx. A connection closed before the reply was complete gives code 0. Throws as
    // ReceiveReply.
    FTPReply ReadNextReply(platform::Event& abort, platform::Millis receiveTimeout);

    // The greeting after connect: the code of its first line and all of its text. A 1xx
    // greeting is not read past. Throws as ReceiveReply.
    FTPReply ReadGreeting(platform::Event& abort, platform::Millis receiveTimeout);

private:
    FTPReply ClosedReply(const std::string& bytes) const;

    CFTPStream m_stream;
    std::optional<platform::TlsCredentials> m_credentials;      // once secured
    std::optional<platform::TlsCredentials> m_dataCredentials;  // once PROT P is agreed
    CFTPReplyReader m_reader;
    FTPFeatures m_features;
    bool m_utf8 = false;
};
