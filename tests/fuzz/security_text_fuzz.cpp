// libFuzzer target: what the program shows of a TLS connection from facts the system hands over,
// which it does not control (Wine's SChannel has handed over garbled cipher names, and
// certificate names may hold anything). A cipher suite's name comes out short and made of name
// characters only; a certificate comes out as exactly its five lines, the last one its true
// fingerprint, whatever its names and dates hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Orvane/engine/protocol/SecurityFacts.h"
#include "Orvane/engine/tasks/SecurityTexts.h"

namespace {

// Takes the next field off the input: a length byte, then that many UTF-16 units.
std::wstring Field(const std::uint8_t*& data, std::size_t& size) {
    std::wstring text;
    if (size == 0) return text;
    std::size_t units = *data++;
    --size;
    for (; units > 0 && size >= 2; --units, data += 2, size -= 2) text += static_cast<wchar_t>(data[0] | data[1] << 8);
    return text;
}

std::int64_t Number(const std::uint8_t*& data, std::size_t& size) {
    std::int64_t value = 0;
    const std::size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

bool IsNameCharacter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'_' || c == L'-';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring cipher = CipherSuiteText(Field(data, size));
    if (cipher.empty() || cipher.size() > 64) std::abort();
    if (cipher != L"?")
        for (wchar_t c : cipher)
            if (!IsNameCharacter(c)) std::abort();

    platform::TlsCertificate certificate;
    certificate.subject = Field(data, size);
    certificate.issuer = Field(data, size);
    certificate.notBefore = std::chrono::sys_seconds(std::chrono::seconds(Number(data, size)));
    certificate.notAfter = std::chrono::sys_seconds(std::chrono::seconds(Number(data, size)));
    for (std::uint8_t& byte : certificate.fingerprint) byte = size > 0 ? (--size, *data++) : 0;

    const std::wstring text = CertificateText(certificate);
    std::size_t lines = 0, lastLine = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            ++lines;
            if (i + 2 < text.size()) lastLine = i + 2;
            ++i;
        } else if (text[i] == L'\r' || text[i] == L'\n') {
            std::abort();  // a line break of the certificate's own
        }
    }
    if (lines != 5 || text.size() < 2 || text.compare(text.size() - 2, 2, L"\r\n") != 0) std::abort();
    const std::wstring fingerprint = platform::FingerprintText(certificate.fingerprint);
    const std::wstring last = text.substr(lastLine, text.size() - 2 - lastLine);
    if (last.size() < fingerprint.size() || last.compare(last.size() - fingerprint.size(), fingerprint.size(), fingerprint) != 0)
        std::abort();
    return 0;
}
