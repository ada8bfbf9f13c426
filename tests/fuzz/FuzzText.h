#pragma once
// The fuzzers' text: each input byte is one character, so the fuzzer reaches digits, signs and
// separators quickly; 0xFF followed by two bytes makes one wider character.
#include <cstddef>
#include <cstdint>
#include <string>

inline std::wstring FuzzText(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t k = 0; k < size; ++k) {
        const bool wide = data[k] == 0xFF && k + 2 < size;
        text += wide ? static_cast<wchar_t>(data[k + 1] << 8 | data[k + 2]) : static_cast<wchar_t>(data[k]);
        k += wide ? 2 : 0;
    }
    return text;
}
