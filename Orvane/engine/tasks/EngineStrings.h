#pragma once
// Numbers of the engine's string resources (Orvane/resources/EngineStrings.rc).
namespace EngineStrings {

inline constexpr unsigned kConnectionSucceeded = 12288;
inline constexpr unsigned kConnectionFailed = 12289;
inline constexpr unsigned kGettingFolders = 12290;
inline constexpr unsigned kFolders = 12291;
inline constexpr unsigned kParentFolder = 12292;
inline constexpr unsigned kErrorCodeFormat = 12293;  // printf format for one unsigned code
inline constexpr unsigned kUnknownErrorTitle = 12294;
inline constexpr unsigned kUnknownErrorDescription = 12296;
inline constexpr unsigned kNetworkUnreachableTitle = 12297;
inline constexpr unsigned kNetworkUnreachableDescription = 12298;
inline constexpr unsigned kNetworkResetTitle = 12299;
inline constexpr unsigned kNetworkResetDescription = 12300;
inline constexpr unsigned kConnectionAbortedTitle = 12301;
inline constexpr unsigned kConnectionAbortedDescription = 12302;
inline constexpr unsigned kConnectionResetTitle = 12303;
inline constexpr unsigned kConnectionResetDescription = 12304;
inline constexpr unsigned kConnectionRefusedTitle = 12305;
inline constexpr unsigned kConnectionRefusedDescription = 12306;
inline constexpr unsigned kHostDownTitle = 12307;
inline constexpr unsigned kHostDownDescription = 12308;
inline constexpr unsigned kHostUnreachableTitle = 12309;
inline constexpr unsigned kHostUnreachableDescription = 12310;
inline constexpr unsigned kHostNotFoundTitle = 12311;
inline constexpr unsigned kHostNotFoundDescription = 12312;
inline constexpr unsigned kOperationAbortedTitle = 12313;
inline constexpr unsigned kOperationAbortedDescription = 12314;
inline constexpr unsigned kTimedOutTitle = 12315;
inline constexpr unsigned kTimedOutDescription = 12316;
inline constexpr unsigned kNameNotRepresentableTitle = 12317;
inline constexpr unsigned kNameNotRepresentableDescription = 12318;
inline constexpr unsigned kFileNotFoundTitle = 12319;
inline constexpr unsigned kFileNotFoundDescription = 12320;
inline constexpr unsigned kFileInUseTitle = 12321;
inline constexpr unsigned kFileInUseDescription = 12322;
inline constexpr unsigned kFileLeftOut = 12323;  // the transcript's note before a left-out file
inline constexpr unsigned kAccessDeniedTitle = 12324;
inline constexpr unsigned kAccessDeniedDescription = 12325;
inline constexpr unsigned kPathNotFoundTitle = 12326;
inline constexpr unsigned kPathNotFoundDescription = 12327;
inline constexpr unsigned kNotEnoughMemoryTitle = 12328;
inline constexpr unsigned kNotEnoughMemoryDescription = 12329;
inline constexpr unsigned kInternalErrorTitle = 12330;
inline constexpr unsigned kInternalErrorDescription = 12331;
inline constexpr unsigned kListingTooLongTitle = 12332;
inline constexpr unsigned kListingTooLongDescription = 12333;
inline constexpr unsigned kConnectionLines = 12360;  // heads each further connection's transcript; "%d" its number

// Encrypted connections (RFC 4217): the transcript's line, the certificate shown to the user, and
// the question whether to trust it.
inline constexpr unsigned kEncryptedConnection = 12400;
inline constexpr unsigned kCertificateTrustedBySystem = 12401;
inline constexpr unsigned kCertificateAcceptedForDestination = 12402;
inline constexpr unsigned kCertificateSubject = 12403;
inline constexpr unsigned kCertificateIssuer = 12404;
inline constexpr unsigned kCertificateValidFrom = 12405;
inline constexpr unsigned kCertificateValidTo = 12406;
inline constexpr unsigned kCertificateFingerprint = 12407;
inline constexpr unsigned kTrustCertificateQuestion = 12408;
inline constexpr unsigned kTrustCertificateCaption = 12409;
inline constexpr unsigned kCertificateUntrustedTitle = 12410;
inline constexpr unsigned kCertificateUntrustedDescription = 12411;
inline constexpr unsigned kCertificateIssuerUnknownTitle = 12412;
inline constexpr unsigned kCertificateIssuerUnknownDescription = 12413;
inline constexpr unsigned kCertificateInvalidTitle = 12414;
inline constexpr unsigned kCertificateInvalidDescription = 12415;
inline constexpr unsigned kCertificateExpiredTitle = 12416;
inline constexpr unsigned kCertificateExpiredDescription = 12417;
inline constexpr unsigned kCertificateNameMismatchTitle = 12418;
inline constexpr unsigned kCertificateNameMismatchDescription = 12419;
inline constexpr unsigned kCertificateChangedTitle = 12420;
inline constexpr unsigned kCertificateChangedDescription = 12421;
inline constexpr unsigned kTlsNotOfferedTitle = 12422;
inline constexpr unsigned kTlsNotOfferedDescription = 12423;
inline constexpr unsigned kTlsHandshakeFailedTitle = 12424;
inline constexpr unsigned kTlsHandshakeFailedDescription = 12425;
inline constexpr unsigned kTlsTruncatedTitle = 12426;
inline constexpr unsigned kTlsTruncatedDescription = 12427;

}  // namespace EngineStrings
