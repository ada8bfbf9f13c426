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

}  // namespace platform
