// libFuzzer target: what the program shows of a TLS connection from facts the system hands over,
// which it does not control (Wine's SChannel has handed over garbled cipher names, and
// certificate names may hold anything). A cipher suite's name comes out short and made of name
// characters only; a certificate comes out as exactly its five lines, the last one its true
// fingerprint, whatever its names and dates hold.
#include <cstdlib>
#include <cwctype>
#include <string>

#include "Orvane/engine/protocol/SecurityFacts.h"
#include "Orvane/engine/tasks/SecurityTexts.h"

namespace {

// The input, taken field by field; what runs out reads as zeros.
struct Input {
    const std::uint8_t* data;
    std::size_t size;

    std::uint8_t Byte() { return size > 0 ? (--size, *data++) : 0; }
    // A length byte, then that many UTF-16 units.
    std::wstring Text() {
        std::wstring text(Byte(), L'\0');
        for (wchar_t& c : text) c = static_cast<wchar_t>(Byte() | Byte() << 8);
        return text;
    }
    std::int64_t Number() {
        std::uint64_t value = 0;
        for (int k = 0; k < 8; ++k) value = value << 8 | Byte();
        return static_cast<std::int64_t>(value);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input{data, size};
    const std::wstring cipher = CipherSuiteText(input.Text());
    if (cipher.empty() || cipher.size() > 64) std::abort();
    for (wchar_t c : cipher)
        if (cipher != L"?" && !(c < 128 && (std::iswalnum(c) || c == L'_' || c == L'-'))) std::abort();

    platform::TlsCertificate certificate;
    certificate.subject = input.Text();
    certificate.issuer = input.Text();
    certificate.notBefore = std::chrono::sys_seconds(std::chrono::seconds(input.Number()));
    certificate.notAfter = std::chrono::sys_seconds(std::chrono::seconds(input.Number()));
    for (std::uint8_t& byte : certificate.fingerprint) byte = input.Byte();

    const std::wstring text = CertificateText(certificate);
    std::size_t lines = 0;
    for (std::size_t at = text.find_first_of(L"\r\n"); at != std::wstring::npos; at = text.find_first_of(L"\r\n", at + 2)) {
        if (text.compare(at, 2, L"\r\n") != 0) std::abort();  // a line break of the certificate's own
        ++lines;
    }
    if (lines != 5 || !text.ends_with(platform::FingerprintText(certificate.fingerprint) + L"\r\n")) std::abort();
    return 0;
}
