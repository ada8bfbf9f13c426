#include "Orvane/engine/protocol/FTPStream.h"

#include "platform/ErrorCodes.h"

void CFTPStream::Secure(const platform::TlsCredentials& credentials, platform::Event& abort, platform::Millis limit) {
    if (m_tls) throw platform::kErrorInvalidParameter;  // TLS inside TLS is nothing FTP does
    m_tls.emplace(std::move(m_socket), credentials);
    m_tls->Handshake(abort, limit);
}

const std::optional<platform::TlsCertificate>& CFTPStream::PeerCertificate() const {
    static const std::optional<platform::TlsCertificate> kNone;
    return m_tls ? m_tls->PeerCertificate() : kNone;
}

void CFTPStream::Send(std::span<const char> data, platform::Event& abort, platform::Millis limit) {
    if (m_tls)
        m_tls->Send(data, abort, limit);
    else
        platform::Send(m_socket, data, abort, limit);
}

std::size_t CFTPStream::Receive(std::span<char> into, platform::Event& abort, platform::Millis limit) {
    return m_tls ? m_tls->Receive(into, abort, limit) : platform::Receive(m_socket, into, abort, limit);
}

void CFTPStream::Close(platform::Event& abort, platform::Millis limit) {
    if (m_tls)
        m_tls->Close(abort, limit);
    else
        m_socket.Close();
}

void CFTPStream::Drop() {
    m_tls.reset();  // its socket closes gracefully, without a close alert
    m_socket.Close();
}

void CFTPStream::CloseAbortive() {
    if (m_tls)
        m_tls->CloseAbortive();
    else
        m_socket.CloseAbortive();
}

platform::Endpoint CFTPStream::Peer() const {
    return platform::PeerEndpoint(m_tls ? m_tls->Transport() : m_socket);
}
