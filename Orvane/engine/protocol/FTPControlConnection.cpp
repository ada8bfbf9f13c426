#include "Orvane/engine/protocol/FTPControlConnection.h"

#include <optional>
#include <utility>

#include "Orvane/engine/protocol/TraceLog.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

namespace {

constexpr std::size_t kReceiveChunk = 4096;

}  // namespace

FTPReply CFTPControlConnection::ClosedReply(const std::string& bytes) const {
    // What arrived before the close is kept for the transcript, but a cut-off line must never
    // count as the server's answer: code 0 makes the sequence fail with error 6.
    return FTPReply{0, platform::FromAnsi(bytes, ReceivePage())};
}

std::string CFTPControlConnection::WireName(std::wstring_view text) const {
    std::optional<std::string> bytes = platform::ToAnsiExact(text, SendPage());
    if (!bytes) throw platform::kErrorNoUnicodeTranslation;
    return std::move(*bytes);
}

CFTPControlConnection CFTPControlConnection::ConnectToServer(const std::wstring& server,
                                                             std::uint16_t port, platform::Event abort,
                                                             const FTPTimeouts& timeouts) {
    const platform::Endpoint to{platform::ResolveIpv4(platform::ToAnsi(server)), port};
    return CFTPControlConnection(platform::ConnectTcp(to, abort, timeouts.send));
}

void CFTPControlConnection::Secure(const platform::TlsCredentials& credentials, platform::Event& abort,
                                   platform::Millis limit) {
    // RFC 4217, 4: whatever came before the handshake is plain text a third party may have
    // slipped in; nothing of it may be read as if it came through TLS.
    if (!m_reader.Pending().empty()) throw platform::kErrorUnexpectedReply;
    m_credentials = credentials;
    m_stream.Secure(credentials, abort, limit);
}

void CFTPControlConnection::SendCommand(std::string_view commandText, std::wstring_view traced,
                                        platform::Event& abort, platform::Millis sendTimeout) {
    WriteTrace(traced);
    m_stream.Send(commandText, abort, sendTimeout);
}

CFTPControlConnection::RawReply CFTPControlConnection::ReceiveReply(platform::Event& abort,
                                                                    platform::Millis receiveTimeout) {
    // A reply may arrive split across many reads, and a multi-line reply ends only at its closing
    // line (RFC 959, 4.2), so keep reading until the reply is complete, not until recv() pauses.
    char chunk[kReceiveChunk];
    RawReply reply;
    for (;;) {
        switch (m_reader.Next(reply.bytes)) {
        case CFTPReplyReader::Status::Complete: reply.complete = true; return reply;
        case CFTPReplyReader::Status::TooLong: throw platform::kErrorUnexpectedReply;
        case CFTPReplyReader::Status::NeedMore: break;
        }
        const std::size_t n = m_stream.Receive(chunk, abort, receiveTimeout);
        WriteTrace(L"Bytes received: " + std::to_wstring(n));
        if (n == 0) {
            reply.bytes = m_reader.TakePending();
            return reply;
        }
        m_reader.Append(std::string_view(chunk, n));
        // Converted only when the trace is on: a reply that trickles in a byte at a time must not
        // cost a conversion of everything so far per byte.
        WriteTrace([this] { return platform::FromAnsi(m_reader.Pending(), SendPage()); });
    }
}

FTPReply CFTPControlConnection::ReadReply(platform::Event& abort, platform::Millis receiveTimeout,
                                          std::string* whole) {
    for (;;) {
        RawReply raw = ReceiveReply(abort, receiveTimeout);
        if (!raw.complete) return ClosedReply(raw.bytes);
        FTPReply reply = ParseReply(raw.bytes, ReceivePage());
        if (reply.code / 100 == 1) continue;
        if (whole) *whole = std::move(raw.bytes);
        return reply;
    }
}

FTPReply CFTPControlConnection::ReadNextReply(platform::Event& abort, platform::Millis receiveTimeout) {
    const RawReply raw = ReceiveReply(abort, receiveTimeout);
    if (!raw.complete) return ClosedReply(raw.bytes);
    return ParseReply(raw.bytes, ReceivePage());
}

FTPReply CFTPControlConnection::ReadGreeting(platform::Event& abort, platform::Millis receiveTimeout) {
    const RawReply raw = ReceiveReply(abort, receiveTimeout);
    if (!raw.complete) return ClosedReply(raw.bytes);
    return ParseGreeting(raw.bytes, ReceivePage());
}
