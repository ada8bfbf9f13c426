#pragma once
#include <cstdint>
#include <span>
#include <string>

// One-time-password logins (RFC 2289) with MD5, the only algorithm we answer.

// The highest sequence number answered. Each step is one more hash on the login thread, which
// cannot be stopped meanwhile, so a server asking for billions would hang it; real challenges
// count down from a few hundred or thousand.
inline constexpr int kMaxOtpSequence = 9999;

// The PASS argument for a USER reply: the password (8-bit) unchanged unless the reply text holds
// an "otp-md5" challenge (case-sensitive), then the six-word response. Throws 87 for a sequence
// number above kMaxOtpSequence.
std::string ComputeOtpResponse(const std::string& password, const std::wstring& replyText);

// The six-word response for `secret` (seed followed by pass phrase, as 8-bit text) after `count`
// further hash steps: upper-case dictionary words joined by single spaces, at most 29 characters.
// A count of 0 or less hashes only once.
std::string OtpSixWords(std::span<const std::uint8_t> secret, int count);
