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

// The first position of `c`, or -1.
std::ptrdiff_t PositionOf(std::wstring_view text, wchar_t c) {
    const std::size_t at = text.find(c);
    return at == std::wstring_view::npos ? -1 : static_cast<std::ptrdiff_t>(at);
}

}  // namespace

platform::Endpoint ParsePassiveReply(const std::wstring& text) {
    // The numbers are read from just after the first "(" through the first ")". A missing "("
    // reads from the start, a missing or earlier ")" leaves nothing to read.
    const std::ptrdiff_t close = PositionOf(text, L')');
    const std::ptrdiff_t open = PositionOf(text, L'(');
    const std::size_t start = std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(open + 1, 0)), text.size());
    const std::size_t length = static_cast<std::size_t>(std::max<std::ptrdiff_t>(close - open, 0));
    const std::wstring_view inner = std::wstring_view(text).substr(start, length);

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
