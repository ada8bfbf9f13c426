#pragma once
#include <cstdint>
#include <string>

// The code as "0x" and eight lower-case hexadecimal digits, a space, and the error's short name
// ("0x00002af9 Host not found"). Codes without a text of their own get "Unknown error".
std::wstring FormatErrorTitle(std::uint32_t errorCode);

// The error's explanation, or "No additional information is available".
std::wstring FormatErrorDescription(std::uint32_t errorCode);
