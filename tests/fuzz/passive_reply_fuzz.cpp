// libFuzzer target: any reply text either gives an address or throws 11004, and never reads
// outside the text. Each input byte is one character, so the fuzzer reaches the digits, signs,
// commas and parentheses quickly; 0xFF followed by two bytes makes one wider character.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Orvane/engine/protocol/PassiveReply.h"
#include "platform/ErrorCodes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size);
    for (std::size_t k = 0; k < size; ++k) {
        if (data[k] == 0xFF && k + 2 < size) {
            text += static_cast<wchar_t>(data[k + 1] << 8 | data[k + 2]);
            k += 2;
        } else {
            text += static_cast<wchar_t>(data[k]);
        }
    }
    try {
        const platform::Endpoint endpoint = ParsePassiveReply(text);
        // Six numbers are five commas apart.
        if (std::count(text.begin(), text.end(), L',') < 5) std::abort();
        (void)endpoint;
    } catch (int code) {
        if (code != platform::kErrorNoData) std::abort();
    }
    return 0;
}
