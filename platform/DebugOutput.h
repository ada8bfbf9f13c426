#pragma once
#include <string_view>

namespace platform {

// The debugger output channel (OutputDebugStringW); standard error off Windows.
void WriteDebugOutput(std::wstring_view text);

}  // namespace platform
