#pragma once
// The TLS facility (client side, TLS 1.2 and later): credentials shared by the connections to
// one server, and a session that turns bytes into TLS records and back without any I/O of its
// own. The backends wrap the system's TLS (SChannel on Windows, OpenSSL elsewhere); TlsStream
// drives a session over a socket. Failures are thrown as int: the SEC_E_ and CERT_E_ numbers of
// ErrorCodes.h.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Sha256Fingerprint = std::array<std::uint8_t, 32>;

// "AB:CD:...": upper-case hex pairs joined by colons, as certificate viewers show it.
std::wstring FingerprintText(const Sha256Fingerprint& fingerprint);
// The reverse: 64 hex digits in either case, each pair optionally followed by one ':' or ' '.
// nullopt for anything else.
std::optional<Sha256Fingerprint> ParseFingerprint(std::wstring_view text);

// What the user may want to see about the server's certificate. Names are distinguished names as
// the system prints them, most specific part first ("CN=ftp.example.com, O=Example").
struct TlsCertificate {
    std::wstring subject;
    std::wstring issuer;
    std::chrono::sys_seconds notBefore{};
    std::chrono::sys_seconds notAfter{};
    Sha256Fingerprint fingerprint{};  // of the DER certificate
};

inline constexpr std::uint16_t kTls12 = 0x0303;  // protocol versions as the wire carries them
inline constexpr std::uint16_t kTls13 = 0x0304;

struct TlsConnectionInfo {
    std::uint16_t protocol = 0;  // kTls12, kTls13, or an older value
    std::wstring cipherSuite;    // the IANA name, "TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384"
    bool resumed = false;        // the handshake resumed an earlier session of the same credentials
};

// "TLS 1.2", "TLS 1.3"; "SSL 3.0" and "TLS 1.0" for the ones that are refused.
std::wstring ProtocolText(std::uint16_t protocol);

struct TlsCredentialsImpl;  // see platform/<backend>/TlsImpl.h
struct TlsSessionImpl;

// What all TLS connections to one server share: the name they check the certificate against,
// the fingerprint the user accepted, and the session cache. Make one per control connection and
// use it for its data connections too: servers may require a data connection to resume the
// control connection's session. Copies name the same credentials; they may be used from several
// threads at once.
class TlsCredentials {
public:
    // `targetName` is the host name as the user typed it, or dotted IPv4: it goes into the
    // server name indication (not for an address) and every certificate is checked against it.
    // `pinned` is the fingerprint of a certificate the user accepted although it did not check
    // out. Throws int.
    explicit TlsCredentials(std::wstring targetName, std::optional<Sha256Fingerprint> pinned = std::nullopt)
        : m_targetName(std::move(targetName)), m_pinned(pinned), m_impl(NewImpl(m_targetName)) {}

    const std::wstring& TargetName() const { return m_targetName; }
    const std::optional<Sha256Fingerprint>& Pinned() const { return m_pinned; }
    TlsCredentialsImpl& Impl() const { return *m_impl; }  // for the backends only

private:
    static std::shared_ptr<TlsCredentialsImpl> NewImpl(const std::wstring& targetName);  // backend

    std::wstring m_targetName;
    std::optional<Sha256Fingerprint> m_pinned;
    std::shared_ptr<TlsCredentialsImpl> m_impl;
};

enum class TlsRead {
    Done,       // every whole record in the input was used; more input may bring more
    Closed,     // the peer's close alert came: nothing follows
    Handshake,  // a handshake message came (renegotiation, or a TLS 1.3 post-handshake message):
                // run Handshake until it is done, then go on decrypting
};

// One TLS connection's state, client side. It reads and writes only the buffers it is given:
// `received` holds bytes from the peer (a method removes from its front what it has taken),
// `toSend` collects bytes for the peer (methods append). Move-only. Methods throw int.
class TlsSession {
public:
    explicit TlsSession(const TlsCredentials& credentials);
    ~TlsSession();
    TlsSession(TlsSession&& other) noexcept;
    TlsSession& operator=(TlsSession&& other) noexcept;
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // One handshake step: true when the handshake is complete. The first call, with nothing
    // received, makes the client hello. Bytes that follow the handshake stay in `received` or in
    // the session for Decrypt. Throws the SEC_E_ number of a failed handshake.
    bool Handshake(std::vector<char>& received, std::vector<char>& toSend);

    // Protects `plain` into records. Only after the handshake.
    void Encrypt(std::span<const char> plain, std::vector<char>& toSend);

    // Decrypts the whole records at the front of `received` and appends their data to `plain`.
    // A part record stays in `received` (or in the session) until the rest comes. `toSend` may
    // receive an answer the protocol requires.
    TlsRead Decrypt(std::vector<char>& received, std::vector<char>& plain, std::vector<char>& toSend);

    // The close alert (close_notify). Only after the handshake.
    void CloseAlert(std::vector<char>& toSend);

    // Facts of the completed handshake.
    TlsConnectionInfo Info() const;
    TlsCertificate PeerCertificate() const;
    // The system's verdict on the peer's certificate chain for the credentials' target name:
    // 0 when it chains to a trusted root, is valid now and names the target; otherwise the
    // CERT_E_ or TRUST_E_ number of the first fault in Windows' order: signature, untrusted root,
    // unknown issuer, usage, basic constraints, validity period, name. Revocation is not checked,
    // and missing intermediate certificates are not fetched from the network (neither wait could
    // be aborted).
    int VerifyPeer() const;
    // The caller accepted the peer: later connections with the same credentials may resume this
    // session.
    void Accepted();

private:
    TlsCredentials m_credentials;  // the backend's context refers to it
    std::unique_ptr<TlsSessionImpl> m_impl;
};

}  // namespace platform
