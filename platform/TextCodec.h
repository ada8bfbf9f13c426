#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// 8-bit text on the wire and in the trace is in an ANSI code page: the thread's for what we
// send, the system's for what we read. Windows-1252 stands in for both off Windows. A server
// that offers UTF-8 (RFC 2640) gets UTF-8 instead, from UTF-16 on Windows and from whole code
// points elsewhere.
enum class CodePage { ThreadAnsi, SystemAnsi, Utf8 };

// Characters the code page lacks become the platform's default character ('?'); in UTF-8,
// ill-formed text (a lone surrogate) becomes U+FFFD.
std::string ToAnsi(std::wstring_view text, CodePage page = CodePage::ThreadAnsi);
// As ToAnsi, but nullopt when any character has no exact counterpart in the code page, or, in
// UTF-8, when the text is ill-formed.
std::optional<std::string> ToAnsiExact(std::wstring_view text, CodePage page = CodePage::ThreadAnsi);
// Malformed UTF-8 becomes U+FFFD.
std::wstring FromAnsi(std::string_view bytes, CodePage page = CodePage::SystemAnsi);

}  // namespace platform
