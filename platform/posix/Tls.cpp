#include "platform/Tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <mutex>

#include "platform/ErrorCodes.h"
#include "platform/posix/Utf8.h"

// OpenSSL with memory BIOs: the session reads the peer's bytes from one BIO and leaves its own in
// the other, so it never touches a socket. Failures are reported with the numbers SChannel gives
// for the same failure.

namespace platform {

namespace {

template <auto Free>
struct FreeWith {
    template <class T>
    void operator()(T* object) const { Free(object); }
};
using UniqueContext = std::unique_ptr<SSL_CTX, FreeWith<&::SSL_CTX_free>>;
using UniqueSsl = std::unique_ptr<SSL, FreeWith<&::SSL_free>>;
using UniqueSslSession = std::unique_ptr<SSL_SESSION, FreeWith<&::SSL_SESSION_free>>;
using UniqueBio = std::unique_ptr<BIO, FreeWith<&::BIO_free>>;
using UniqueStoreContext = std::unique_ptr<X509_STORE_CTX, FreeWith<&::X509_STORE_CTX_free>>;

int OnNewSession(SSL* ssl, SSL_SESSION* session);

}  // namespace

struct TlsCredentialsImpl {
    UniqueContext context;
    std::string hostName;  // UTF-8
    bool isAddress = false;
    std::mutex lock;
    UniqueSslSession resumable;  // under `lock`: the session the next connection offers to resume
};

struct TlsSessionImpl {
    explicit TlsSessionImpl(TlsCredentialsImpl& shared) : credentials(shared) {}

    TlsCredentialsImpl& credentials;
    UniqueSsl ssl;
    BIO* in = nullptr;   // the peer's bytes; owned by `ssl`
    BIO* out = nullptr;  // bytes for the peer; owned by `ssl`
    bool accepted = false;
    UniqueSslSession pending;  // a session that came before the caller accepted the peer
};

namespace {

// The SEC_E_ number for the failure at the top of OpenSSL's error queue.
int TlsError() {
    const unsigned long error = ::ERR_peek_last_error();
    if (ERR_GET_LIB(error) != ERR_LIB_SSL) return kErrorTlsInternal;
    switch (ERR_GET_REASON(error)) {
    // The server speaks only protocols or ciphers we refuse, or says so with an alert.
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_NO_SHARED_CIPHER:
    case SSL_R_NO_CIPHERS_AVAILABLE:
        return kErrorTlsAlgorithmMismatch;
    case SSL_R_DECRYPTION_FAILED_OR_BAD_RECORD_MAC:
        return kErrorTlsDecryptFailure;
    default:
        return kErrorTlsIllegalMessage;
    }
}

void Feed(TlsSessionImpl& session, std::vector<char>& received) {
    if (received.empty()) return;
    // A memory BIO takes everything (it only fails when memory runs out).
    if (::BIO_write(session.in, received.data(), static_cast<int>(received.size())) != static_cast<int>(received.size()))
        throw kErrorTlsInternal;
    received.clear();
}

void Drain(TlsSessionImpl& session, std::vector<char>& toSend) {
    const std::size_t pending = BIO_ctrl_pending(session.out);
    if (pending == 0) return;
    const std::size_t start = toSend.size();
    toSend.resize(start + pending);
    const int read = ::BIO_read(session.out, toSend.data() + start, static_cast<int>(pending));
    toSend.resize(start + static_cast<std::size_t>(std::max(read, 0)));
}

void Remember(TlsCredentialsImpl& credentials, UniqueSslSession session) {
    std::lock_guard guard(credentials.lock);
    credentials.resumable = std::move(session);
}

// OpenSSL hands over each new session (TLS 1.2 at the end of a full handshake, TLS 1.3 with
// every ticket, which may come long after). Returning 1 keeps the reference.
int OnNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* owner = static_cast<TlsSessionImpl*>(SSL_get_app_data(ssl));
    if (!owner || !::SSL_SESSION_is_resumable(session)) return 0;
    if (owner->accepted)
        Remember(owner->credentials, UniqueSslSession(session));
    else
        owner->pending.reset(session);
    return 1;
}

std::wstring NameText(const X509_NAME* name) {
    // RFC 2253 order (most specific first) with ", " between parts, as Windows prints names; UTF-8
    // rather than escaped bytes outside ASCII.
    constexpr unsigned long kFlags =
        ((XN_FLAG_RFC2253 & ~XN_FLAG_SEP_MASK) | XN_FLAG_SEP_CPLUS_SPC) & ~ASN1_STRFLGS_ESC_MSB;
    UniqueBio text(::BIO_new(::BIO_s_mem()));
    if (!text || ::X509_NAME_print_ex(text.get(), name, 0, kFlags) < 0) throw kErrorTlsInternal;
    char* data = nullptr;
    const long length = BIO_get_mem_data(text.get(), &data);
    return posix::FromUtf8(std::string_view(data, static_cast<std::size_t>(std::max(length, 0L))));
}

std::chrono::sys_seconds TimeOf(const ASN1_TIME* time) {
    std::tm parts{};
    if (!::ASN1_TIME_to_tm(time, &parts)) return {};
    using namespace std::chrono;
    const sys_days date = year_month_day{year{parts.tm_year + 1900}, month{static_cast<unsigned>(parts.tm_mon + 1)},
                                         day{static_cast<unsigned>(parts.tm_mday)}};
    return date + hours{parts.tm_hour} + minutes{parts.tm_min} + seconds{parts.tm_sec};
}

// Certificate faults in the order Windows' SSL chain policy reports them; the first one found
// is the verdict.
constexpr int kFaultOrder[] = {kErrorCertSignature, kErrorCertUntrustedRoot, kErrorCertChaining,
                               kErrorCertWrongUsage, kErrorCertBasicConstraints, kErrorCertTrustFailure,
                               kErrorCertExpired, kErrorCertNameMismatch};

int FaultOf(int x509Error) {
    switch (x509Error) {
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
        return kErrorCertSignature;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_REJECTED:
        return kErrorCertUntrustedRoot;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return kErrorCertChaining;
    case X509_V_ERR_INVALID_PURPOSE:
        return kErrorCertWrongUsage;
    case X509_V_ERR_INVALID_CA:
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
        return kErrorCertBasicConstraints;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
        return kErrorCertExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return kErrorCertNameMismatch;
    default:
        return kErrorCertTrustFailure;
    }
}

struct Faults {
    std::array<bool, std::size(kFaultOrder)> seen{};

    void Note(int x509Error) {
        const int fault = FaultOf(x509Error);
        for (std::size_t i = 0; i < seen.size(); ++i)
            if (kFaultOrder[i] == fault) seen[i] = true;
    }
    int First() const {
        for (std::size_t i = 0; i < seen.size(); ++i)
            if (seen[i]) return kFaultOrder[i];
        return 0;
    }
};

// Notes the fault and lets the check go on, so that every fault is seen and the verdict follows
// our order rather than the order OpenSSL happens to check in.
int NoteFault(int ok, X509_STORE_CTX* check) {
    if (!ok) static_cast<Faults*>(::X509_STORE_CTX_get_ex_data(check, 0))->Note(::X509_STORE_CTX_get_error(check));
    return 1;
}

}  // namespace

std::shared_ptr<TlsCredentialsImpl> TlsCredentials::NewImpl(const std::wstring& targetName) {
    auto impl = std::make_shared<TlsCredentialsImpl>();
    impl->hostName = posix::ToUtf8(targetName);
    in_addr address{};
    impl->isAddress = ::inet_pton(AF_INET, impl->hostName.c_str(), &address) == 1;
    impl->context.reset(::SSL_CTX_new(::TLS_client_method()));
    SSL_CTX* context = impl->context.get();
    if (!context || !::SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION)) throw kErrorTlsInternal;
    // The handshake goes through whatever the certificate; VerifyPeer judges it afterwards, so
    // that the user can be shown a certificate that does not check out.
    ::SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    ::SSL_CTX_set_default_verify_paths(context);  // without them nothing is trusted, which is safe
    // A client must offer a session itself; OpenSSL's own client cache only feeds the callback.
    ::SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    ::SSL_CTX_sess_set_new_cb(context, &OnNewSession);
    return impl;
}

TlsSession::TlsSession(const TlsCredentials& credentials)
    : m_credentials(credentials), m_impl(std::make_unique<TlsSessionImpl>(credentials.Impl())) {
    TlsCredentialsImpl& shared = credentials.Impl();
    m_impl->ssl.reset(::SSL_new(shared.context.get()));
    SSL* ssl = m_impl->ssl.get();
    if (!ssl) throw kErrorTlsInternal;
    m_impl->in = ::BIO_new(::BIO_s_mem());
    m_impl->out = ::BIO_new(::BIO_s_mem());
    if (!m_impl->in || !m_impl->out) {
        ::BIO_free(m_impl->in);
        ::BIO_free(m_impl->out);
        throw kErrorTlsInternal;
    }
    BIO_set_mem_eof_return(m_impl->in, -1);  // no input yet means "wait", not the end of the stream
    ::SSL_set_bio(ssl, m_impl->in, m_impl->out);
    SSL_set_app_data(ssl, m_impl.get());
    ::SSL_set_connect_state(ssl);
    // RFC 6066: the server name indication carries host names only, never addresses.
    if (!shared.isAddress && !::SSL_set_tlsext_host_name(ssl, shared.hostName.c_str())) throw kErrorTlsInternal;
    std::lock_guard guard(shared.lock);
    if (shared.resumable) ::SSL_set_session(ssl, shared.resumable.get());
}

TlsSession::~TlsSession() = default;
TlsSession::TlsSession(TlsSession&& other) noexcept = default;
TlsSession& TlsSession::operator=(TlsSession&& other) noexcept = default;

bool TlsSession::Handshake(std::vector<char>& received, std::vector<char>& toSend) {
    Feed(*m_impl, received);
    ::ERR_clear_error();
    const int result = ::SSL_do_handshake(m_impl->ssl.get());
    Drain(*m_impl, toSend);
    if (result == 1) return true;
    if (::SSL_get_error(m_impl->ssl.get(), result) == SSL_ERROR_WANT_READ) return false;
    throw TlsError();
}

void TlsSession::Encrypt(std::span<const char> plain, std::vector<char>& toSend) {
    constexpr std::size_t kPiece = 64 * 1024;  // keeps the output BIO small for large sends
    while (!plain.empty()) {
        const int length = static_cast<int>(std::min(plain.size(), kPiece));
        ::ERR_clear_error();
        const int written = ::SSL_write(m_impl->ssl.get(), plain.data(), length);
        if (written <= 0) throw TlsError();
        Drain(*m_impl, toSend);
        plain = plain.subspan(static_cast<std::size_t>(written));
    }
}

TlsRead TlsSession::Decrypt(std::vector<char>& received, std::vector<char>& plain, std::vector<char>& toSend) {
    constexpr std::size_t kRecord = 16 * 1024;  // the most one record carries
    Feed(*m_impl, received);
    for (;;) {
        const std::size_t start = plain.size();
        plain.resize(start + kRecord);
        ::ERR_clear_error();
        const int count = ::SSL_read(m_impl->ssl.get(), plain.data() + start, static_cast<int>(kRecord));
        plain.resize(start + static_cast<std::size_t>(std::max(count, 0)));
        if (count > 0) continue;
        Drain(*m_impl, toSend);
        switch (::SSL_get_error(m_impl->ssl.get(), count)) {
        case SSL_ERROR_WANT_READ: return TlsRead::Done;  // OpenSSL runs any renegotiation itself
        case SSL_ERROR_ZERO_RETURN: return TlsRead::Closed;
        default: throw TlsError();
        }
    }
}

void TlsSession::CloseAlert(std::vector<char>& toSend) {
    ::ERR_clear_error();
    if (::SSL_shutdown(m_impl->ssl.get()) < 0) throw TlsError();
    Drain(*m_impl, toSend);
}

TlsConnectionInfo TlsSession::Info() const {
    SSL* ssl = m_impl->ssl.get();
    TlsConnectionInfo info;
    info.protocol = static_cast<std::uint16_t>(::SSL_version(ssl));
    if (const SSL_CIPHER* cipher = ::SSL_get_current_cipher(ssl))
        if (const char* name = ::SSL_CIPHER_standard_name(cipher)) info.cipherSuite = posix::FromUtf8(name);
    info.resumed = ::SSL_session_reused(ssl) == 1;
    return info;
}

TlsCertificate TlsSession::PeerCertificate() const {
    X509* certificate = ::SSL_get0_peer_certificate(m_impl->ssl.get());
    if (!certificate) throw kErrorCertTrustFailure;  // no certificate at all: nothing to trust
    TlsCertificate facts;
    facts.subject = NameText(::X509_get_subject_name(certificate));
    facts.issuer = NameText(::X509_get_issuer_name(certificate));
    facts.notBefore = TimeOf(::X509_get0_notBefore(certificate));
    facts.notAfter = TimeOf(::X509_get0_notAfter(certificate));
    unsigned int length = 0;
    if (!::X509_digest(certificate, ::EVP_sha256(), facts.fingerprint.data(), &length) ||
        length != facts.fingerprint.size())
        throw kErrorTlsInternal;
    return facts;
}

int TlsSession::VerifyPeer() const {
    SSL* ssl = m_impl->ssl.get();
    const TlsCredentialsImpl& shared = m_impl->credentials;
    X509* leaf = ::SSL_get0_peer_certificate(ssl);
    if (!leaf) return kErrorCertTrustFailure;
    UniqueStoreContext check(::X509_STORE_CTX_new());
    if (!check || !::X509_STORE_CTX_init(check.get(), ::SSL_CTX_get_cert_store(shared.context.get()), leaf,
                                         ::SSL_get_peer_cert_chain(ssl)))
        throw kErrorTlsInternal;
    ::X509_STORE_CTX_set_default(check.get(), "ssl_server");
    X509_VERIFY_PARAM* parameters = ::X509_STORE_CTX_get0_param(check.get());
    const int named = shared.isAddress ? ::X509_VERIFY_PARAM_set1_ip_asc(parameters, shared.hostName.c_str())
                                       : ::X509_VERIFY_PARAM_set1_host(parameters, shared.hostName.c_str(), 0);
    if (!named) return kErrorCertNameMismatch;  // a name no certificate can carry
    Faults faults;
    ::X509_STORE_CTX_set_ex_data(check.get(), 0, &faults);
    ::X509_STORE_CTX_set_verify_cb(check.get(), &NoteFault);
    if (::X509_verify_cert(check.get()) <= 0 && faults.First() == 0) return kErrorCertTrustFailure;
    return faults.First();
}

void TlsSession::Accepted() {
    m_impl->accepted = true;
    if (m_impl->pending) Remember(m_impl->credentials, std::move(m_impl->pending));
}

}  // namespace platform
