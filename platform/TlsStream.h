#pragma once
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Time.h"
#include "platform/Tls.h"

namespace platform {

enum class TlsTrust {
    Trusted,  // the system trusts the certificate for the target name
    Pinned,   // it does not, but it is exactly the certificate the user accepted
};

// A TLS client connection over a connected socket: the handshake with the trust decision, then
// records both ways, then the close alert. Every wait keeps the socket contract: it ends with 995
// when `abort` fires and with 10060 when `limit` (counted per call) runs out; the system's numbers
// otherwise, and the SEC_E_ and CERT_E_ numbers of ErrorCodes.h for TLS faults. One thread at a
// time. Move-only; the destructor closes the socket without a close alert.
class TlsStream {
public:
    // Takes over `socket`; nothing is sent before Handshake.
    TlsStream(Socket socket, const TlsCredentials& credentials);

    // Runs the handshake and decides on the certificate: accepted when the system trusts it for
    // the credentials' target name (Trusted, whatever is pinned), or when it is the pinned one
    // (Pinned). Otherwise throws kErrorCertChanged when a fingerprint is pinned, or the system's
    // verdict (kErrorCertUntrustedRoot, kErrorCertChaining, kErrorCertExpired,
    // kErrorCertNameMismatch, ...). Refuses protocols older than TLS 1.2
    // (kErrorTlsAlgorithmMismatch). After a certificate fault, PeerCertificate() tells the user
    // what the server showed.
    void Handshake(Event& abort, Millis limit);

    // Sends all of `data`. Throws int.
    void Send(std::span<const char> data, Event& abort, Millis limit);

    // Receives up to `into.size()` bytes of data, waiting when none are there. Returns 0 at the end
    // of the stream: after the peer's close alert (CloseAlertReceived()) or when the connection
    // ended without one, which may mean the data were cut short. Data already there are returned
    // even after an abort. Throws int.
    std::size_t Receive(std::span<char> into, Event& abort, Millis limit);

    // Sends the close alert, so that the peer knows the data are complete, then waits (within
    // `limit`) for the peer's close alert or the end of the stream before it closes the socket:
    // closing with unread bytes would reset the connection, and a reset can destroy data the peer
    // has not read yet. Throws int when the close alert could not be sent, and 995 when the abort
    // fires; the socket is closed in every case. Without a completed handshake it only closes.
    void Close(Event& abort, Millis limit);

    // Resets the connection without a close alert: the peer must not take what it got as whole.
    void CloseAbortive() { m_socket.CloseAbortive(); }
    // The connection underneath, for its addresses.
    const Socket& Transport() const { return m_socket; }

    const TlsConnectionInfo& Info() const { return m_info; }
    // The server's certificate, once the handshake got that far (also after a trust failure).
    const std::optional<TlsCertificate>& PeerCertificate() const { return m_certificate; }
    TlsTrust Trust() const { return m_trust; }
    bool CloseAlertReceived() const { return m_closeAlertReceived; }

private:
    class Deadline;

    void RunHandshake(Event& abort, const Deadline& deadline);
    void Decide();
    void AwaitPeerClose(Event& abort, const Deadline& deadline);
    bool ReceiveMore(Event& abort, const Deadline& deadline);  // false at the end of the stream
    void Flush(Event& abort, const Deadline& deadline);

    Socket m_socket;
    TlsSession m_session;
    std::optional<Sha256Fingerprint> m_pinned;
    std::vector<char> m_received;  // from the peer, not yet taken by the session
    std::vector<char> m_toSend;    // for the peer, not yet sent
    std::vector<char> m_plain;     // decrypted, not yet returned
    std::size_t m_plainTaken = 0;  // of m_plain, already returned
    TlsConnectionInfo m_info;
    std::optional<TlsCertificate> m_certificate;
    TlsTrust m_trust = TlsTrust::Trusted;
    bool m_established = false;
    bool m_ended = false;  // nothing more will come from the peer
    bool m_closeAlertReceived = false;
    bool m_closeAlertSent = false;
};

}  // namespace platform
