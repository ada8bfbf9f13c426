#pragma once
#include <cstddef>
#include <optional>
#include <span>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Time.h"
#include "platform/Tls.h"
#include "platform/TlsStream.h"

// A connection of the engine, control or data, as the code that reads and writes it sees it: the
// plain socket, or TLS over it once Secure has run (RFC 4217). Readers and transfer loops do not
// care which. Every wait keeps the socket contract: 995 when `abort` fires, 10060 when `limit`
// runs out, counted per call. One thread at a time; move-only.
class CFTPStream {
public:
    CFTPStream() = default;
    explicit CFTPStream(platform::Socket socket) : m_socket(std::move(socket)) {}

    bool IsOpen() const { return m_tls ? m_tls->Transport().IsOpen() : m_socket.IsOpen(); }
    bool Secured() const { return m_tls.has_value(); }

    // Runs the TLS handshake over the socket and decides on the server's certificate (see
    // platform::TlsStream::Handshake). From then on everything travels inside TLS. Throws int: the
    // socket errors, the SEC_E_ and CERT_E_ numbers, kErrorCertChanged. After a failure the stream
    // can no longer carry data, but PeerCertificate() tells what the server showed.
    void Secure(const platform::TlsCredentials& credentials, platform::Event& abort, platform::Millis limit);

    // The TLS connection's facts; null while plain.
    const platform::TlsStream* Tls() const { return m_tls ? &*m_tls : nullptr; }
    const std::optional<platform::TlsCertificate>& PeerCertificate() const;

    // Sends all of `data`. Throws int.
    void Send(std::span<const char> data, platform::Event& abort, platform::Millis limit);
    // Up to `into.size()` bytes, waiting when none are there; 0 at the end of the stream. Over
    // TLS that is the peer's close alert, or the connection's end without one (EndedByCloseAlert
    // tells which). Throws int.
    std::size_t Receive(std::span<char> into, platform::Event& abort, platform::Millis limit);
    // Over TLS: whether the end of the stream came with the peer's close alert, so nothing was
    // cut off (RFC 8446, 6.1). A plain stream has no way to tell, and says true.
    bool EndedByCloseAlert() const { return !m_tls || m_tls->CloseAlertReceived(); }

    // The end the peer takes as complete: over TLS the close alert, then (within `limit`) the
    // peer's, then the socket's graceful close; a plain socket closes gracefully at once. Throws
    // int as TlsStream::Close; the socket is closed in every case.
    void Close(platform::Event& abort, platform::Millis limit);
    // Closes without any of that (a control connection that is done with).
    void Drop();
    // A reset: the peer must not take what it got as whole.
    void CloseAbortive();

    // The other end's address. Throws int.
    platform::Endpoint Peer() const;

private:
    platform::Socket m_socket;                // while plain
    std::optional<platform::TlsStream> m_tls; // owns the socket once secured
};
