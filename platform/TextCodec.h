#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// 8-bit text on the wire and in the trace is in an ANSI code page: the thread's for what we
// send, the system's for what we read. Windows-1252 stands in for both off Windows.
enum class CodePage { ThreadAnsi, SystemAnsi };

// Characters the code page lacks become the platform's default character ('?').
std::string ToAnsi(std::wstring_view text, CodePage page = CodePage::ThreadAnsi);
// As ToAnsi, but nullopt when any character has no exact counterpart in the code page.
std::optional<std::string> ToAnsiExact(std::wstring_view text, CodePage page = CodePage::ThreadAnsi);
std::wstring FromAnsi(std::string_view bytes, CodePage page = CodePage::SystemAnsi);

}  // namespace platform
