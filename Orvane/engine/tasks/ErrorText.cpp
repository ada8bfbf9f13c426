#include "Orvane/engine/tasks/ErrorText.h"

#include <cwchar>

#include "Orvane/engine/tasks/EngineStrings.h"
#include "platform/ErrorCodes.h"
#include "platform/Strings.h"

namespace {

struct ErrorTexts {
    int code;
    unsigned title;
    unsigned description;
};

using namespace EngineStrings;

constexpr ErrorTexts kErrorTexts[] = {
    {platform::kErrorAborted, kOperationAbortedTitle, kOperationAbortedDescription},
    {platform::kErrorNetworkUnreachable, kNetworkUnreachableTitle, kNetworkUnreachableDescription},
    {platform::kErrorNetworkReset, kNetworkResetTitle, kNetworkResetDescription},
    {platform::kErrorConnectionAborted, kConnectionAbortedTitle, kConnectionAbortedDescription},
    {platform::kErrorConnectionReset, kConnectionResetTitle, kConnectionResetDescription},
    {platform::kErrorTimedOut, kTimedOutTitle, kTimedOutDescription},
    {platform::kErrorConnectionRefused, kConnectionRefusedTitle, kConnectionRefusedDescription},
    {platform::kErrorHostDown, kHostDownTitle, kHostDownDescription},
    {platform::kErrorHostUnreachable, kHostUnreachableTitle, kHostUnreachableDescription},
    {platform::kErrorHostNotFound, kHostNotFoundTitle, kHostNotFoundDescription},
    // Errors of the local side that end an upload: a name the wire cannot carry, a file that
    // went away or is held by a writer.
    {platform::kErrorNoUnicodeTranslation, kNameNotRepresentableTitle, kNameNotRepresentableDescription},
    {platform::kErrorFileNotFound, kFileNotFoundTitle, kFileNotFoundDescription},
    {platform::kErrorSharingViolation, kFileInUseTitle, kFileInUseDescription},
    // Why a local file or folder was left out of an upload.
    {platform::kErrorAccessDenied, kAccessDeniedTitle, kAccessDeniedDescription},
    {platform::kErrorPathNotFound, kPathNotFoundTitle, kPathNotFoundDescription},
    // What ends a task from inside the program: no memory, an unexpected exception, a listing
    // past the engine's bound.
    {platform::kErrorNotEnoughMemory, kNotEnoughMemoryTitle, kNotEnoughMemoryDescription},
    {platform::kErrorInternal, kInternalErrorTitle, kInternalErrorDescription},
    {platform::kErrorMessageTooLong, kListingTooLongTitle, kListingTooLongDescription},
    // Encrypted connections: the certificate's verdicts (the SSL policy's, and ours when a
    // trusted certificate was replaced), AUTH TLS refused where TLS is required, the handshake,
    // and a TLS data connection that ended without its close alert.
    {platform::kErrorCertUntrustedRoot, kCertificateUntrustedTitle, kCertificateUntrustedDescription},
    {platform::kErrorCertChaining, kCertificateIssuerUnknownTitle, kCertificateIssuerUnknownDescription},
    {platform::kErrorCertTrustFailure, kCertificateInvalidTitle, kCertificateInvalidDescription},
    {platform::kErrorCertWrongUsage, kCertificateInvalidTitle, kCertificateInvalidDescription},
    {platform::kErrorCertSignature, kCertificateInvalidTitle, kCertificateInvalidDescription},
    {platform::kErrorCertBasicConstraints, kCertificateInvalidTitle, kCertificateInvalidDescription},
    {platform::kErrorCertExpired, kCertificateExpiredTitle, kCertificateExpiredDescription},
    {platform::kErrorCertNameMismatch, kCertificateNameMismatchTitle, kCertificateNameMismatchDescription},
    {platform::kErrorCertChanged, kCertificateChangedTitle, kCertificateChangedDescription},
    {platform::kErrorTlsNotOffered, kTlsNotOfferedTitle, kTlsNotOfferedDescription},
    {platform::kErrorTlsAlgorithmMismatch, kTlsHandshakeFailedTitle, kTlsHandshakeFailedDescription},
    {platform::kErrorTlsIllegalMessage, kTlsHandshakeFailedTitle, kTlsHandshakeFailedDescription},
    {platform::kErrorTlsInternal, kTlsHandshakeFailedTitle, kTlsHandshakeFailedDescription},
    {platform::kErrorTlsMessageAltered, kTlsHandshakeFailedTitle, kTlsHandshakeFailedDescription},
    {platform::kErrorTlsDecryptFailure, kTlsHandshakeFailedTitle, kTlsHandshakeFailedDescription},
    {platform::kErrorTlsTruncated, kTlsTruncatedTitle, kTlsTruncatedDescription},
};

constexpr ErrorTexts kUnknown = {0, kUnknownErrorTitle, kUnknownErrorDescription};

const ErrorTexts& TextsFor(std::uint32_t errorCode) {
    for (const ErrorTexts& texts : kErrorTexts)
        if (static_cast<std::uint32_t>(texts.code) == errorCode) return texts;
    return kUnknown;
}

}  // namespace

std::wstring FormatErrorTitle(std::uint32_t errorCode) {
    const std::wstring format = platform::LoadText(kErrorCodeFormat);
    wchar_t code[32] = {};
    // The format comes from our own resources and takes exactly one unsigned int.
    std::swprintf(code, sizeof code / sizeof code[0], format.c_str(), static_cast<unsigned>(errorCode));
    return std::wstring(code) + L" " + platform::LoadText(TextsFor(errorCode).title);
}

std::wstring FormatErrorDescription(std::uint32_t errorCode) {
    return platform::LoadText(TextsFor(errorCode).description);
}
