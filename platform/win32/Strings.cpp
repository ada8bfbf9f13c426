#include "platform/Strings.h"

#include <winsock2.h>
#include <windows.h>

namespace platform {

std::wstring LoadText(unsigned id) {
    // With no buffer, LoadStringW gives the resource's own read-only text and its length; the
    // text there is not terminated.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::wstring();
    return std::wstring(text, static_cast<std::size_t>(length));
}

}  // namespace platform
