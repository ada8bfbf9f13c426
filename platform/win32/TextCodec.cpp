#include "platform/TextCodec.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace platform {

namespace {

UINT ToCodePage(CodePage page) {
    switch (page) {
    case CodePage::ThreadAnsi: return CP_THREAD_ACP;
    case CodePage::Utf8: return CP_UTF8;
    default: return CP_ACP;
    }
}

int Length(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

// Two passes, measuring and then converting; texts here are command lines and replies.
std::string Narrow(std::wstring_view text, UINT page, DWORD flags, BOOL* usedDefault) {
    int needed = ::WideCharToMultiByte(page, flags, text.data(), Length(text.size()), nullptr, 0,
                                       nullptr, usedDefault);
    std::string out(static_cast<std::size_t>(std::max(needed, 0)), '\0');
    if (needed > 0)
        ::WideCharToMultiByte(page, flags, text.data(), Length(text.size()), out.data(), needed,
                              nullptr, usedDefault);
    return out;
}

}  // namespace

std::string ToAnsi(std::wstring_view text, CodePage page) {
    if (text.empty()) return {};
    return Narrow(text, ToCodePage(page), 0, nullptr);
}

std::optional<std::string> ToAnsiExact(std::wstring_view text, CodePage page) {
    if (text.empty()) return std::string();
    // Without WC_NO_BEST_FIT_CHARS, "Ā" would quietly become "A" and name another file.
    BOOL usedDefault = FALSE;
    std::string out = Narrow(text, ToCodePage(page), WC_NO_BEST_FIT_CHARS, &usedDefault);
    if (out.empty() && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        // UTF-8 (asked for, or as the ANSI code page) takes neither flag; there only broken
        // surrogates fail.
        out = Narrow(text, ToCodePage(page), WC_ERR_INVALID_CHARS, nullptr);
        if (out.empty()) return std::nullopt;
        return out;
    }
    if (out.empty() || usedDefault) return std::nullopt;
    return out;
}

std::wstring FromAnsi(std::string_view bytes, CodePage page) {
    if (bytes.empty()) return {};
    const UINT codePage = ToCodePage(page);
    int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), Length(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(needed, 0)), L'\0');
    if (needed > 0)
        ::MultiByteToWideChar(codePage, 0, bytes.data(), Length(bytes.size()), out.data(), needed);
    return out;
}

}  // namespace platform
