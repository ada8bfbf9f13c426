#include "platform/TlsStream.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "platform/ErrorCodes.h"

// The session only transforms bytes; everything that waits is here, on platform::Send and
// platform::Receive, so that aborts and time-outs behave the same on every backend. A call's
// `limit` covers the whole call: each socket wait gets what is left of it.

namespace platform {

class TlsStream::Deadline {
public:
    explicit Deadline(Millis limit)
        : m_infinite(limit == kInfinite),
          m_end(Clock::now() + std::clamp(limit, Millis(0), kLongest)) {}

    Millis Left() const {
        if (m_infinite) return kInfinite;
        return std::max(Millis(0), std::chrono::ceil<Millis>(m_end - Clock::now()));
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr Millis kLongest = std::chrono::hours(24 * 365 * 100);  // keeps now + limit in range

    bool m_infinite;
    Clock::time_point m_end;
};

namespace {

// Closes the socket when it goes out of scope, whichever way.
struct ClosesSocket {
    Socket& socket;
    ~ClosesSocket() { socket.Close(); }
};

}  // namespace

TlsStream::TlsStream(Socket socket, const TlsCredentials& credentials)
    : m_socket(std::move(socket)), m_session(credentials), m_pinned(credentials.Pinned()) {}

void TlsStream::Handshake(Event& abort, Millis limit) {
    if (m_established) return;
    const Deadline deadline(limit);
    RunHandshake(abort, deadline);
    m_info = m_session.Info();
    // The backends already offer nothing older; this holds whatever a system lets through.
    if (m_info.protocol < kTls12) throw kErrorTlsAlgorithmMismatch;
    m_certificate = m_session.PeerCertificate();
    Decide();
    m_session.Accepted();
    m_established = true;
}

void TlsStream::RunHandshake(Event& abort, const Deadline& deadline) {
    for (;;) {
        const bool done = m_session.Handshake(m_received, m_toSend);
        Flush(abort, deadline);
        if (done) return;
        if (!ReceiveMore(abort, deadline)) throw kErrorConnectionReset;  // the peer gave up half way
    }
}

// A pin adds one certificate to what the system trusts; it does not take trust away from a
// certificate the system vouches for (a server that moved to a proper certificate still works).
void TlsStream::Decide() {
    const int verdict = m_session.VerifyPeer();
    if (verdict == 0) {
        m_trust = TlsTrust::Trusted;
        return;
    }
    if (m_pinned && *m_pinned == m_certificate->fingerprint) {
        m_trust = TlsTrust::Pinned;
        return;
    }
    throw m_pinned ? kErrorCertChanged : verdict;
}

void TlsStream::Send(std::span<const char> data, Event& abort, Millis limit) {
    if (!m_established || m_closeAlertSent) throw kErrorNotConnected;
    const Deadline deadline(limit);
    m_session.Encrypt(data, m_toSend);
    Flush(abort, deadline);
}

std::size_t TlsStream::Receive(std::span<char> into, Event& abort, Millis limit) {
    if (!m_established) throw kErrorNotConnected;
    if (into.empty()) return 0;
    const Deadline deadline(limit);
    while (m_plainTaken == m_plain.size() && !m_ended) {
        m_plain.clear();
        m_plainTaken = 0;
        switch (m_session.Decrypt(m_received, m_plain, m_toSend)) {
        case TlsRead::Done:
            break;
        case TlsRead::Closed:
            m_closeAlertReceived = true;
            m_ended = true;
            break;
        case TlsRead::Handshake:
            Flush(abort, deadline);
            RunHandshake(abort, deadline);
            // A renegotiation must not bring in another server.
            if (m_session.PeerCertificate().fingerprint != m_certificate->fingerprint) throw kErrorCertChanged;
            continue;
        }
        Flush(abort, deadline);
        if (m_plain.empty() && !m_ended && !ReceiveMore(abort, deadline)) m_ended = true;
    }
    const std::size_t count = std::min(into.size(), m_plain.size() - m_plainTaken);
    std::memcpy(into.data(), m_plain.data() + m_plainTaken, count);
    m_plainTaken += count;
    return count;
}

void TlsStream::Close(Event& abort, Millis limit) {
    const ClosesSocket closeAtEnd{m_socket};
    if (!m_established || !m_socket.IsOpen()) return;
    const Deadline deadline(limit);
    if (!m_closeAlertSent) {
        m_closeAlertSent = true;
        m_session.CloseAlert(m_toSend);
        Flush(abort, deadline);
    }
    AwaitPeerClose(abort, deadline);
}

// Reads until the peer's close alert or the end of the stream and drops any data. The close
// alert is out already, so a peer that does not answer in time, or answers with a fault, costs
// nothing but the wait; only an abort is passed on, as every wait does.
void TlsStream::AwaitPeerClose(Event& abort, const Deadline& deadline) {
    try {
        while (!m_ended) {
            m_plain.clear();
            m_plainTaken = 0;
            if (m_session.Decrypt(m_received, m_plain, m_toSend) == TlsRead::Closed) {
                m_closeAlertReceived = true;
                m_ended = true;
                return;
            }
            m_toSend.clear();  // no answers after the close alert
            if (!ReceiveMore(abort, deadline)) m_ended = true;
        }
    } catch (int code) {
        if (code == kErrorAborted) throw;
    }
}

bool TlsStream::ReceiveMore(Event& abort, const Deadline& deadline) {
    std::array<char, 16 * 1024> chunk;
    const std::size_t count = platform::Receive(m_socket, chunk, abort, deadline.Left());
    m_received.insert(m_received.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(count));
    return count != 0;
}

// The bytes leave the buffer before the send: after a failed send nobody may send them again.
void TlsStream::Flush(Event& abort, const Deadline& deadline) {
    if (m_toSend.empty()) return;
    std::vector<char> pending = std::move(m_toSend);
    m_toSend.clear();
    platform::Send(m_socket, pending, abort, deadline.Left());
    pending.clear();
    m_toSend = std::move(pending);  // keeps the capacity for the next records
}

}  // namespace platform
