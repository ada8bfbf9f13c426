// libFuzzer target: any reply text either gives an address or throws 11004, and never reads
// outside the text.
#include <algorithm>
#include <cstdlib>

#include "Orvane/engine/protocol/PassiveReply.h"
#include "platform/ErrorCodes.h"
#include "tests/fuzz/FuzzText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = FuzzText(data, size);
    try {
        (void)ParsePassiveReply(text);
        if (std::count(text.begin(), text.end(), L',') < 5) std::abort();  // six numbers are five commas apart
    } catch (int code) {
        if (code != platform::kErrorNoData) std::abort();
    }
    return 0;
}
