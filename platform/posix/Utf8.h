#pragma once
#include <string>
#include <string_view>

namespace platform::posix {

// UTF-8 for the system's own interfaces (file names, standard error); wchar_t holds whole code
// points here. Surrogates and values past U+10FFFF become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// The reverse, for names the system hands back; a malformed sequence becomes U+FFFD.
std::wstring FromUtf8(std::string_view text);

}  // namespace platform::posix
