#include "Orvane/engine/protocol/OtpResponse.h"

#include <algorithm>
#include <array>
#include <climits>

#include "Orvane/engine/protocol/Md5.h"
#include "Orvane/engine/protocol/OtpWords.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

namespace {

using OtpKey = std::array<std::uint8_t, 8>;

// MD5's 128 bits become the 64-bit one-time password by XOR of their halves (RFC 2289, 6.0).
OtpKey Fold(const Md5Digest& digest) {
    OtpKey key;
    for (std::size_t k = 0; k < key.size(); ++k) key[k] = digest[k] ^ digest[k + 8];
    return key;
}

// The `width` bits of `bytes` that start at bit `first`, most significant bit first.
unsigned Bits(std::span<const std::uint8_t> bytes, unsigned first, unsigned width) {
    unsigned value = 0;
    for (unsigned bit = first; bit < first + width; ++bit)
        value = value << 1 | ((bytes[bit / 8] >> (7 - bit % 8)) & 1u);
    return value;
}

// A challenge's sequence number: leading digits as a server writes them; whatever follows a
// digit ends it, and a number too large for an int stays at the largest.
int ParseSequenceNumber(std::wstring_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || text[at] == L'\t')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    long long value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at)
        value = std::min<long long>(value * 10 + (text[at] - L'0'), INT_MAX);
    return static_cast<int>(negative ? -value : value);
}

// Seeds are ASCII alphanumerics (RFC 2289, 6.0), compared without regard to case.
std::wstring ToLowerAscii(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

}  // namespace

std::string OtpSixWords(std::span<const std::uint8_t> secret, int count) {
    OtpKey key = Fold(Md5(secret));
    for (int step = 0; step < count; ++step) key = Fold(Md5(key));

    // Two checksum bits, the sum of the key's 32 bit pairs, follow its 64 bits (RFC 2289, 6.0).
    std::array<std::uint8_t, 9> bits{};
    std::copy(key.begin(), key.end(), bits.begin());
    unsigned sum = 0;
    for (unsigned pair = 0; pair < 32; ++pair) sum += Bits(bits, 2 * pair, 2);
    bits[8] = static_cast<std::uint8_t>((sum & 3u) << 6);

    std::string response;
    for (unsigned word = 0; word < 6; ++word) {
        if (word > 0) response += ' ';
        response += kOtpWords[Bits(bits, 11 * word, 11)];
    }
    return response;
}

std::string ComputeOtpResponse(const std::string& password, const std::wstring& replyText) {
    // The challenge reads "otp-md5 <sequence> <seed> ...", for example
    // "331 Response to otp-md5 99 ke1234 required."
    const std::size_t algorithm = replyText.find(L"otp-md5");
    if (algorithm == std::wstring::npos) return password;

    const std::size_t numberStart = algorithm + 8;
    const std::size_t numberEnd = replyText.find(L' ', numberStart);  // npos when past the end
    int sequence = 0;
    std::wstring seed;
    if (numberEnd != std::wstring::npos) {
        sequence = ParseSequenceNumber(
            std::wstring_view(replyText).substr(numberStart, numberEnd - numberStart));
        if (sequence > kMaxOtpSequence) throw platform::kErrorInvalidParameter;
        // The seed's first character is taken as it stands, so a space ends the seed only after
        // it. A seed at the end of the reply line ends at the line break or the end of the text.
        const std::size_t seedStart = numberEnd + 1;
        const std::size_t seedEnd = std::min({replyText.find(L' ', seedStart + 1),
                                              replyText.find_first_of(L"\r\n", seedStart),
                                              replyText.size()});
        if (seedStart < seedEnd) seed = ToLowerAscii(replyText.substr(seedStart, seedEnd - seedStart));
    }

    // The server hashes seed and pass phrase as the user typed them; the password we hold is in
    // the thread's code page, and so is what goes on the wire.
    const std::string secret = platform::ToAnsi(
        seed + platform::FromAnsi(password, platform::CodePage::SystemAnsi),
        platform::CodePage::ThreadAnsi);
    return OtpSixWords(std::span(reinterpret_cast<const std::uint8_t*>(secret.data()), secret.size()),
                       sequence);
}
