#include "Orvane/engine/protocol/PassiveReply.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "platform/ErrorCodes.h"

namespace {

// The white space "%d" skips in the C locale.
bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads one number at `at` the way "%d" does (white space, optional sign, at least one digit) and
// moves `at` past it. Digits beyond what a byte can hold only keep the value out of range, so a
// hostile reply with hundreds of digits cannot overflow anything. Throws 11004.
unsigned ReadByte(std::wstring_view text, std::size_t& at) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    if (at == text.size() || !IsDigit(text[at])) throw platform::kErrorNoData;
    unsigned value = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
        value = std::min(value * 10 + static_cast<unsigned>(text[at] - L'0'), 256u);
    if (value > 255 || (negative && value != 0)) throw platform::kErrorNoData;
    return value;
}

// Where the six numbers begin: after the first "(" (RFC 959, 4.1.2), or, as servers need not
// write the parentheses (RFC 1123, 4.1.2.6), at the first digit after the reply code.
std::size_t NumbersStart(std::wstring_view text) {
    const std::size_t open = text.find(L'(');
    if (open != std::wstring_view::npos) return open + 1;
    std::size_t from = 0;
    if (text.size() >= 4 && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[2]) &&
        (text[3] == L' ' || text[3] == L'-'))
        from = 4;
    while (from < text.size() && !IsDigit(text[from])) ++from;
    // A sign belongs to its number: "-1" must be refused, not read as 1.
    if (from > 0 && from < text.size() && (text[from - 1] == L'-' || text[from - 1] == L'+')) --from;
    return from;
}

}  // namespace

platform::Endpoint ParsePassiveReply(const std::wstring& text) {
    const std::wstring_view inner = std::wstring_view(text).substr(NumbersStart(text));

    std::array<unsigned, 6> numbers{};
    std::size_t at = 0;
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        if (k > 0) {
            if (at == inner.size() || inner[at] != L',') throw platform::kErrorNoData;
            ++at;
        }
        numbers[k] = ReadByte(inner, at);
    }

    platform::Endpoint endpoint;
    for (std::size_t k = 0; k < 4; ++k) endpoint.address.octets[k] = static_cast<std::uint8_t>(numbers[k]);
    endpoint.port = static_cast<std::uint16_t>(numbers[4] * 256 + numbers[5]);
    return endpoint;
}
