// libFuzzer target: a certificate fingerprint typed or stored as text. Whatever parses is 32
// bytes whose canonical text parses back to them, and any 32 bytes survive the trip through
// text. Each input byte is one character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Tls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text(data, data + size);
    if (const auto parsed = platform::ParseFingerprint(text)) {
        if (text.size() < 64 || text.size() > 96) std::abort();  // 64 digits, at most one separator after each pair
        if (platform::ParseFingerprint(platform::FingerprintText(*parsed)) != parsed) std::abort();
    }
    if (size >= 32) {
        platform::Sha256Fingerprint bytes;
        std::memcpy(bytes.data(), data, bytes.size());
        if (platform::ParseFingerprint(platform::FingerprintText(bytes)) != bytes) std::abort();
    }
    return 0;
}
