#include "platform/Tls.h"

#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS  // for SCH_CREDENTIALS
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <subauth.h>
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/ErrorCodes.h"
#include "platform/win32/Unique.h"

// SChannel through SSPI. InitializeSecurityContextW, EncryptMessage and DecryptMessage work on
// the caller's buffers and never touch a socket. SChannel's own certificate check is switched
// off (manual validation): it would let an untrusted certificate through silently or fail before
// the user could see it, so VerifyPeer asks crypt32 instead. SChannel keeps resumable sessions
// per credentials handle and target name by itself.

namespace platform {

struct TlsCredentialsImpl {
    TlsCredentialsImpl() = default;
    TlsCredentialsImpl(const TlsCredentialsImpl&) = delete;
    TlsCredentialsImpl& operator=(const TlsCredentialsImpl&) = delete;
    ~TlsCredentialsImpl() {
        if (acquired) ::FreeCredentialsHandle(&handle);
    }

    CredHandle handle{};
    bool acquired = false;
};

struct TlsSessionImpl {
    TlsSessionImpl(TlsCredentialsImpl& shared, const std::wstring& targetName)
        : credentials(shared), target(targetName) {}
    TlsSessionImpl(const TlsSessionImpl&) = delete;
    TlsSessionImpl& operator=(const TlsSessionImpl&) = delete;
    ~TlsSessionImpl() {
        if (started) ::DeleteSecurityContext(&context);
    }

    TlsCredentialsImpl& credentials;
    std::wstring target;  // the APIs take it writable
    CtxtHandle context{};
    bool started = false;
    SecPkgContext_StreamSizes sizes{};
};

namespace {

constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr DWORD kRefusedProtocols =
    SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
constexpr char kAlertRecord = 21;  // the content type of an alert record (RFC 5246, 6.2.1)

// An output token that SSPI allocated (ISC_REQ_ALLOCATE_MEMORY); freed with the object.
struct OutputToken {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc description{SECBUFFER_VERSION, 1, &buffer};

    OutputToken() = default;
    OutputToken(const OutputToken&) = delete;
    OutputToken& operator=(const OutputToken&) = delete;
    ~OutputToken() {
        if (buffer.pvBuffer) ::FreeContextBuffer(buffer.pvBuffer);
    }
    void AppendTo(std::vector<char>& toSend) const {
        if (buffer.pvBuffer && buffer.cbBuffer)
            toSend.insert(toSend.end(), static_cast<const char*>(buffer.pvBuffer),
                          static_cast<const char*>(buffer.pvBuffer) + buffer.cbBuffer);
    }
};

SECURITY_STATUS Acquire(void* authenticationData, CredHandle& handle) {
    TimeStamp expiry;
    return ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                       authenticationData, nullptr, nullptr, &handle, &expiry);
}

// Keeps only the bytes SSPI did not use. An extra buffer that points into `received` says where
// they are (after DecryptMessage they need not be the last ones); one without a pointer means the
// last cbBuffer bytes.
void KeepExtra(std::vector<char>& received, const SecBuffer& buffer) {
    if (buffer.BufferType != SECBUFFER_EXTRA || buffer.cbBuffer == 0) {
        received.clear();
        return;
    }
    const std::size_t extra = std::min<std::size_t>(buffer.cbBuffer, received.size());
    const auto at = reinterpret_cast<std::uintptr_t>(buffer.pvBuffer);
    const auto begin = reinterpret_cast<std::uintptr_t>(received.data());
    const bool inside = at >= begin && at - begin <= received.size() - extra;
    const std::size_t start = inside ? at - begin : received.size() - extra;
    std::memmove(received.data(), received.data() + start, extra);
    received.resize(extra);
}

const SecBuffer* Find(const SecBuffer* buffers, std::size_t count, unsigned long type) {
    for (std::size_t i = 0; i < count; ++i)
        if (buffers[i].BufferType == type) return &buffers[i];
    return nullptr;
}

std::uint16_t WireVersion(DWORD protocol) {
    if (protocol & SP_PROT_TLS1_3_CLIENT) return kTls13;
    if (protocol & SP_PROT_TLS1_2_CLIENT) return kTls12;
    if (protocol & SP_PROT_TLS1_1_CLIENT) return 0x0302;
    if (protocol & SP_PROT_TLS1_0_CLIENT) return 0x0301;
    if (protocol & SP_PROT_SSL3_CLIENT) return 0x0300;
    return 0;
}

std::wstring NameText(const CERT_NAME_BLOB& name) {
    constexpr DWORD kFormat = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;  // "CN=..., O=..."
    auto* blob = const_cast<CERT_NAME_BLOB*>(&name);
    const DWORD length = ::CertNameToStrW(X509_ASN_ENCODING, blob, kFormat, nullptr, 0);
    std::wstring text(length, L'\0');
    const DWORD written = ::CertNameToStrW(X509_ASN_ENCODING, blob, kFormat, text.data(), length);
    text.resize(written > 0 ? written - 1 : 0);  // without the terminator it counts
    return text;
}

std::chrono::sys_seconds TimeOf(const FILETIME& time) {
    constexpr std::int64_t kTicksTo1970 = 116444736000000000;  // 100 ns ticks from 1601 to 1970
    const std::int64_t ticks = static_cast<std::int64_t>(ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart);
    return std::chrono::sys_seconds(std::chrono::seconds((ticks - kTicksTo1970) / 10000000));
}

// The chain's own faults, for a policy that passes a chain the chain engine faulted: Wine 8's
// SSL policy passes a chain that ends at an unknown issuer (CERT_TRUST_IS_PARTIAL_CHAIN). The
// order is the one Windows' policy reports in.
int ChainFault(DWORD status) {
    constexpr struct {
        DWORD bits;
        int fault;
    } kFaults[] = {
        {CERT_TRUST_IS_NOT_SIGNATURE_VALID, kErrorCertSignature},
        {CERT_TRUST_IS_UNTRUSTED_ROOT, kErrorCertUntrustedRoot},
        {CERT_TRUST_IS_PARTIAL_CHAIN, kErrorCertChaining},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, kErrorCertWrongUsage},
        {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, kErrorCertBasicConstraints},
        {CERT_TRUST_IS_NOT_TIME_VALID, kErrorCertExpired},
    };
    for (const auto& candidate : kFaults)
        if (status & candidate.bits) return candidate.fault;
    return 0;
}

win32::UniqueCertificate RemoteCertificate(const CtxtHandle& context) {
    PCCERT_CONTEXT certificate = nullptr;
    const SECURITY_STATUS status =
        ::QueryContextAttributesW(const_cast<CtxtHandle*>(&context), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
    if (status != SEC_E_OK) throw static_cast<int>(status);
    if (!certificate) throw kErrorCertTrustFailure;  // no certificate at all: nothing to trust
    return win32::UniqueCertificate(certificate);
}

}  // namespace

// Windows 10 1809 and later take SCH_CREDENTIALS, the only form that allows TLS 1.3, and are told
// which protocols to refuse. Older systems, and Wine 8, know only SCHANNEL_CRED, and are told the
// one to allow: TLS 1.2.
std::shared_ptr<TlsCredentialsImpl> TlsCredentials::NewImpl(const std::wstring&) {
    auto impl = std::make_shared<TlsCredentialsImpl>();
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = kRefusedProtocols;
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = kCredentialFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    if (Acquire(&current, impl->handle) != SEC_E_OK) {
        SCHANNEL_CRED older{};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        older.dwFlags = kCredentialFlags;
        if (const SECURITY_STATUS status = Acquire(&older, impl->handle); status != SEC_E_OK)
            throw static_cast<int>(status);
    }
    impl->acquired = true;
    return impl;
}

TlsSession::TlsSession(const TlsCredentials& credentials)
    : m_credentials(credentials),
      m_impl(std::make_unique<TlsSessionImpl>(credentials.Impl(), credentials.TargetName())) {}

TlsSession::~TlsSession() = default;
TlsSession::TlsSession(TlsSession&& other) noexcept = default;
TlsSession& TlsSession::operator=(TlsSession&& other) noexcept = default;

bool TlsSession::Handshake(std::vector<char>& received, std::vector<char>& toSend) {
    TlsSessionImpl& session = *m_impl;
    bool askedForCertificate = false;
    for (;;) {
        if (session.started && received.empty()) return false;
        SecBuffer input[2] = {{static_cast<unsigned long>(received.size()), SECBUFFER_TOKEN, received.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDescription{SECBUFFER_VERSION, 2, input};
        OutputToken output;
        ULONG attributes = 0;
        const SECURITY_STATUS status = ::InitializeSecurityContextW(
            &session.credentials.handle, session.started ? &session.context : nullptr, session.target.data(),
            kContextFlags, 0, 0, session.started ? &inputDescription : nullptr, 0,
            session.started ? nullptr : &session.context, &output.description, &attributes, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) return false;  // a part record: wait for the rest
        // The server asks for a client certificate; there is none, so go on without one once.
        if (status == SEC_I_INCOMPLETE_CREDENTIALS && !askedForCertificate) {
            askedForCertificate = true;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) throw static_cast<int>(status);
        const bool first = !session.started;
        session.started = true;
        output.AppendTo(toSend);
        if (!first) KeepExtra(received, input[1]);
        if (status == SEC_E_OK) {
            const SECURITY_STATUS sized = ::QueryContextAttributesW(&session.context, SECPKG_ATTR_STREAM_SIZES, &session.sizes);
            if (sized != SEC_E_OK) throw static_cast<int>(sized);
            return true;
        }
    }
}

void TlsSession::Encrypt(std::span<const char> plain, std::vector<char>& toSend) {
    const SecPkgContext_StreamSizes& sizes = m_impl->sizes;
    while (!plain.empty()) {
        const std::size_t length = std::min<std::size_t>(plain.size(), sizes.cbMaximumMessage);
        const std::size_t start = toSend.size();
        toSend.resize(start + sizes.cbHeader + length + sizes.cbTrailer);
        char* record = toSend.data() + start;
        std::memcpy(record + sizes.cbHeader, plain.data(), length);
        SecBuffer buffers[4] = {
            {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record},
            {static_cast<unsigned long>(length), SECBUFFER_DATA, record + sizes.cbHeader},
            {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes.cbHeader + length},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        if (const SECURITY_STATUS status = ::EncryptMessage(&m_impl->context, 0, &description, 0); status != SEC_E_OK) {
            toSend.resize(start);
            throw static_cast<int>(status);
        }
        // The trailer may come out shorter than its room.
        toSend.resize(start + buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        plain = plain.subspan(length);
    }
}

TlsRead TlsSession::Decrypt(std::vector<char>& received, std::vector<char>& plain, std::vector<char>&) {
    while (!received.empty()) {
        const bool alert = received[0] == kAlertRecord;
        SecBuffer buffers[4] = {{static_cast<unsigned long>(received.size()), SECBUFFER_DATA, received.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = ::DecryptMessage(&m_impl->context, &description, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) return TlsRead::Done;
        if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE)
            throw static_cast<int>(status);
        // The data were decrypted in place: copy them out before the record leaves the buffer.
        const SecBuffer* data = Find(buffers, 4, SECBUFFER_DATA);
        const std::size_t size = data ? data->cbBuffer : 0;
        if (size) plain.insert(plain.end(), static_cast<char*>(data->pvBuffer), static_cast<char*>(data->pvBuffer) + size);
        const SecBuffer* extra = Find(buffers, 4, SECBUFFER_EXTRA);
        KeepExtra(received, extra ? *extra : SecBuffer{0, SECBUFFER_EMPTY, nullptr});
        if (status == SEC_I_CONTEXT_EXPIRED) return TlsRead::Closed;
        // A handshake message: the rest of `received` goes to InitializeSecurityContextW.
        if (status == SEC_I_RENEGOTIATE) return TlsRead::Handshake;
        // Wine 8 returns the peer's close alert as SEC_E_OK without data instead.
        if (size == 0 && alert) return TlsRead::Closed;
    }
    return TlsRead::Done;
}

void TlsSession::CloseAlert(std::vector<char>& toSend) {
    TlsSessionImpl& session = *m_impl;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDescription{SECBUFFER_VERSION, 1, &control};
    if (const SECURITY_STATUS status = ::ApplyControlToken(&session.context, &controlDescription); status != SEC_E_OK)
        throw static_cast<int>(status);
    OutputToken output;
    ULONG attributes = 0;
    const SECURITY_STATUS status =
        ::InitializeSecurityContextW(&session.credentials.handle, &session.context, session.target.data(), kContextFlags,
                                     0, 0, nullptr, 0, nullptr, &output.description, &attributes, nullptr);
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_CONTINUE_NEEDED)
        throw static_cast<int>(status);
    output.AppendTo(toSend);
}

TlsConnectionInfo TlsSession::Info() const {
    CtxtHandle* context = &m_impl->context;
    TlsConnectionInfo info;
    SecPkgContext_ConnectionInfo connection{};
    if (const SECURITY_STATUS status = ::QueryContextAttributesW(context, SECPKG_ATTR_CONNECTION_INFO, &connection);
        status != SEC_E_OK)
        throw static_cast<int>(status);
    info.protocol = WireVersion(connection.dwProtocol);
    SecPkgContext_CipherInfo cipher{};
    cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
    if (::QueryContextAttributesW(context, SECPKG_ATTR_CIPHER_INFO, &cipher) == SEC_E_OK)
        // Wine may leave the array without its terminator: never read past it.
        info.cipherSuite.assign(cipher.szCipherSuite, ::wcsnlen(cipher.szCipherSuite, SZ_ALG_MAX_SIZE));
    SecPkgContext_SessionInfo session{};
    if (::QueryContextAttributesW(context, SECPKG_ATTR_SESSION_INFO, &session) == SEC_E_OK)
        info.resumed = (session.dwFlags & SSL_SESSION_RECONNECT) != 0;
    return info;
}

TlsCertificate TlsSession::PeerCertificate() const {
    const win32::UniqueCertificate certificate = RemoteCertificate(m_impl->context);
    const CERT_INFO& fields = *certificate.Get()->pCertInfo;
    TlsCertificate facts;
    facts.subject = NameText(fields.Subject);
    facts.issuer = NameText(fields.Issuer);
    facts.notBefore = TimeOf(fields.NotBefore);
    facts.notAfter = TimeOf(fields.NotAfter);
    DWORD length = static_cast<DWORD>(facts.fingerprint.size());
    if (!::CryptHashCertificate2(L"SHA256", 0, nullptr, certificate.Get()->pbCertEncoded,
                                 certificate.Get()->cbCertEncoded, facts.fingerprint.data(), &length) ||
        length != facts.fingerprint.size())
        throw static_cast<int>(::GetLastError());
    return facts;
}

int TlsSession::VerifyPeer() const {
    const win32::UniqueCertificate certificate = RemoteCertificate(m_impl->context);
    static char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuthentication};
    CERT_CHAIN_PARA chainParameters{};
    chainParameters.cbSize = sizeof chainParameters;
    chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // The certificates the server sent are in the certificate's store. No revocation check, and
    // no fetching from the network: that wait could be neither aborted nor limited.
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, certificate.Get(), nullptr, certificate.Get()->hCertStore,
                                   &chainParameters, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain))
        throw static_cast<int>(::GetLastError());
    const win32::UniqueCertificateChain owner(chain);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbStruct = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = m_impl->target.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS verdict{};
    verdict.cbSize = sizeof verdict;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict))
        throw static_cast<int>(::GetLastError());
    if (verdict.dwError != 0) return static_cast<int>(verdict.dwError);
    return ChainFault(chain->TrustStatus.dwErrorStatus);
}

// SChannel keeps the sessions itself, also of peers the caller refused; resuming one is judged
// again like any handshake.
void TlsSession::Accepted() {}

}  // namespace platform
