// The text forms of TLS facts, the same on every backend.
#include "platform/Tls.h"

namespace platform {

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace

std::wstring FingerprintText(const Sha256Fingerprint& fingerprint) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(fingerprint.size() * 3);
    for (std::uint8_t byte : fingerprint) {
        if (!text.empty()) text += L':';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::optional<Sha256Fingerprint> ParseFingerprint(std::wstring_view text) {
    Sha256Fingerprint fingerprint{};
    std::size_t at = 0;
    for (std::uint8_t& byte : fingerprint) {
        if (text.size() - at < 2) return std::nullopt;
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        byte = static_cast<std::uint8_t>(high << 4 | low);
        at += 2;
        if (at < text.size() && (text[at] == L':' || text[at] == L' ')) ++at;
    }
    if (at != text.size()) return std::nullopt;
    return fingerprint;
}

std::wstring ProtocolText(std::uint16_t protocol) {
    switch (protocol) {
    case 0x0300: return L"SSL 3.0";
    case 0x0301: return L"TLS 1.0";
    case 0x0302: return L"TLS 1.1";
    case kTls12: return L"TLS 1.2";
    case kTls13: return L"TLS 1.3";
    default: {
        static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
        std::wstring text = L"protocol 0x";
        for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(protocol >> shift) & 15];
        return text;
    }
    }
}

}  // namespace platform
