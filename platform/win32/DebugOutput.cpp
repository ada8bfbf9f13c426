#include "platform/DebugOutput.h"

#include <windows.h>

#include <string>

namespace platform {

void WriteDebugOutput(std::wstring_view text) { ::OutputDebugStringW(std::wstring(text).c_str()); }

}  // namespace platform
