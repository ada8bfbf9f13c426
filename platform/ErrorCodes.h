#pragma once
// Every failure that reaches the engine is one of these numbers: the Windows and Winsock
// values users see on Windows, reported with the same values by every backend.
namespace platform {

inline constexpr int kErrorFileNotFound = 2;           // ERROR_FILE_NOT_FOUND
inline constexpr int kErrorPathNotFound = 3;           // ERROR_PATH_NOT_FOUND
inline constexpr int kErrorAccessDenied = 5;           // ERROR_ACCESS_DENIED
inline constexpr int kErrorNotEnoughMemory = 8;        // ERROR_NOT_ENOUGH_MEMORY
inline constexpr int kErrorUnexpectedReply = 6;        // the engine's: a reply of no expected class
inline constexpr int kErrorSharingViolation = 32;      // ERROR_SHARING_VIOLATION
inline constexpr int kErrorInvalidParameter = 87;      // ERROR_INVALID_PARAMETER
inline constexpr int kErrorNoUnicodeTranslation = 1113;  // ERROR_NO_UNICODE_TRANSLATION
inline constexpr int kErrorInternal = 1359;            // ERROR_INTERNAL_ERROR: an exception of no known kind
inline constexpr int kErrorAborted = 995;              // ERROR_OPERATION_ABORTED: the abort event fired
inline constexpr int kErrorIoPending = 997;            // ERROR_IO_PENDING: not a failure
inline constexpr int kErrorMessageTooLong = 10040;     // WSAEMSGSIZE; the engine's listing past its bound
inline constexpr int kErrorNetworkDown = 10050;        // WSAENETDOWN
inline constexpr int kErrorNetworkUnreachable = 10051; // WSAENETUNREACH
inline constexpr int kErrorNetworkReset = 10052;       // WSAENETRESET
inline constexpr int kErrorConnectionAborted = 10053;  // WSAECONNABORTED
inline constexpr int kErrorConnectionReset = 10054;    // WSAECONNRESET
inline constexpr int kErrorNotConnected = 10057;       // WSAENOTCONN
inline constexpr int kErrorTimedOut = 10060;           // WSAETIMEDOUT
inline constexpr int kErrorConnectionRefused = 10061;  // WSAECONNREFUSED
inline constexpr int kErrorHostDown = 10064;           // WSAEHOSTDOWN
inline constexpr int kErrorHostUnreachable = 10065;    // WSAEHOSTUNREACH
inline constexpr int kErrorHostNotFound = 11001;       // WSAHOST_NOT_FOUND
inline constexpr int kErrorTryAgain = 11002;           // WSATRY_AGAIN
inline constexpr int kErrorNoRecovery = 11003;         // WSANO_RECOVERY
inline constexpr int kErrorNoData = 11004;             // WSANO_DATA; the engine's unreadable PASV reply

// TLS: the SSPI and certificate-trust numbers Windows reports (HRESULTs, here as signed 32-bit
// values). The POSIX backend reports the same numbers for the same failures.
inline constexpr int kErrorTlsInternal = static_cast<int>(0x80090304u);          // SEC_E_INTERNAL_ERROR
inline constexpr int kErrorTlsMessageAltered = static_cast<int>(0x8009030Fu);    // SEC_E_MESSAGE_ALTERED
inline constexpr int kErrorTlsIllegalMessage = static_cast<int>(0x80090326u);    // SEC_E_ILLEGAL_MESSAGE
inline constexpr int kErrorTlsDecryptFailure = static_cast<int>(0x80090330u);    // SEC_E_DECRYPT_FAILURE
inline constexpr int kErrorTlsAlgorithmMismatch = static_cast<int>(0x80090331u); // SEC_E_ALGORITHM_MISMATCH: no common protocol or cipher
inline constexpr int kErrorCertExpired = static_cast<int>(0x800B0101u);          // CERT_E_EXPIRED: expired or not yet valid
inline constexpr int kErrorCertUntrustedRoot = static_cast<int>(0x800B0109u);    // CERT_E_UNTRUSTEDROOT: self-signed or an untrusted root
inline constexpr int kErrorCertChaining = static_cast<int>(0x800B010Au);         // CERT_E_CHAINING: issuer unknown
inline constexpr int kErrorCertTrustFailure = static_cast<int>(0x800B010Bu);     // TRUST_E_FAIL: any other chain fault
inline constexpr int kErrorCertNameMismatch = static_cast<int>(0x800B010Fu);     // CERT_E_CN_NO_MATCH
inline constexpr int kErrorCertWrongUsage = static_cast<int>(0x800B0110u);       // CERT_E_WRONG_USAGE: not for TLS servers
inline constexpr int kErrorCertSignature = static_cast<int>(0x80096004u);        // TRUST_E_CERT_SIGNATURE
inline constexpr int kErrorCertBasicConstraints = static_cast<int>(0x80096019u); // TRUST_E_BASIC_CONSTRAINTS
// Ours, with the customer bit set so that it meets no system number: the server's certificate is
// not the one whose fingerprint the user accepted.
inline constexpr int kErrorCertChanged = static_cast<int>(0xA00B0001u);
// The engine's, in the same space: the destination requires TLS and the server refused AUTH TLS
// (nothing secret was sent); a TLS data connection ended without the peer's close alert, so what
// came may be cut short (RFC 4217, 12.6; RFC 8446, 6.1).
inline constexpr int kErrorTlsNotOffered = static_cast<int>(0xA00B0002u);
inline constexpr int kErrorTlsTruncated = static_cast<int>(0xA00B0003u);

}  // namespace platform
