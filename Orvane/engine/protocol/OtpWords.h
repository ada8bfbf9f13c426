#pragma once
#include <array>
#include <string_view>

// The standard dictionary of RFC 2289 (Appendix D): 2048 upper-case words, so that 11 bits of a
// one-time password pick one word. Generated into OtpWords.cpp by tools/gen-otp-words.
extern const std::array<std::string_view, 2048> kOtpWords;
