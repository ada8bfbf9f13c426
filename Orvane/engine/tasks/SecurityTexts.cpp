#include "Orvane/engine/tasks/SecurityTexts.h"

#include <algorithm>
#include <cstdio>

#include "Orvane/engine/protocol/SecurityFacts.h"
#include "Orvane/engine/tasks/EngineStrings.h"
#include "platform/ErrorCodes.h"
#include "platform/Strings.h"

namespace {

using namespace EngineStrings;

std::wstring ShownName(std::wstring name) {
    std::replace_if(name.begin(), name.end(), [](wchar_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }, L' ');
    return name;
}

std::wstring Line(unsigned label, const std::wstring& value) {
    return platform::LoadText(label) + L" " + value + L"\r\n";
}

}  // namespace

std::wstring SecuredConnectionText(const platform::TlsStream& stream) {
    const unsigned why = stream.Trust() == platform::TlsTrust::Trusted ? kCertificateTrustedBySystem
                                                                       : kCertificateAcceptedForDestination;
    return platform::LoadText(kEncryptedConnection) + L" " + SecurityFacts(stream) + L" " + platform::LoadText(why) +
           L"\r\n";
}

std::wstring UtcTimeText(std::chrono::sys_seconds time) {
    using namespace std::chrono;
    // The calendar conversion is exact only within a sane range of days.
    constexpr sys_days kFirst = year{1} / January / 1;
    constexpr sys_days kLast = year{9999} / December / 31;
    if (time < kFirst || time >= kLast + days{1}) return L"?";
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"%04d-%02u-%02u %02d:%02d:%02d UTC", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::wstring CertificateText(const platform::TlsCertificate& certificate) {
    return Line(kCertificateSubject, ShownName(certificate.subject)) +
           Line(kCertificateIssuer, ShownName(certificate.issuer)) +
           Line(kCertificateValidFrom, UtcTimeText(certificate.notBefore)) +
           Line(kCertificateValidTo, UtcTimeText(certificate.notAfter)) +
           Line(kCertificateFingerprint, platform::FingerprintText(certificate.fingerprint));
}

bool IsCertificateRefusal(std::uint32_t errorCode) {
    constexpr int kRefusals[] = {platform::kErrorCertExpired,       platform::kErrorCertUntrustedRoot,
                                 platform::kErrorCertChaining,      platform::kErrorCertTrustFailure,
                                 platform::kErrorCertNameMismatch,  platform::kErrorCertWrongUsage,
                                 platform::kErrorCertSignature,     platform::kErrorCertBasicConstraints,
                                 platform::kErrorCertChanged};
    return std::any_of(std::begin(kRefusals), std::end(kRefusals),
                       [&](int code) { return static_cast<std::uint32_t>(code) == errorCode; });
}
