#include "Orvane/engine/protocol/SecurityFacts.h"

namespace {

constexpr std::size_t kLongestCipherName = 64;

bool IsNameCharacter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'_' ||
           c == L'-';
}

}  // namespace

std::wstring CipherSuiteText(std::wstring_view name) {
    std::wstring text;
    for (wchar_t c : name) {
        if (text.size() == kLongestCipherName) break;
        if (IsNameCharacter(c)) text += c;
    }
    return text.empty() ? L"?" : text;
}

std::wstring SecurityFacts(const platform::TlsStream& stream) {
    std::wstring text = platform::ProtocolText(stream.Info().protocol) + L", " + CipherSuiteText(stream.Info().cipherSuite);
    if (stream.PeerCertificate()) text += L", SHA-256 " + platform::FingerprintText(stream.PeerCertificate()->fingerprint);
    return text;
}
