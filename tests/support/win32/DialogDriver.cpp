#include "tests/support/win32/DialogDriver.h"

#include <commctrl.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/ChildProcess.h"
#include "tests/support/PyFtpdServer.h"

namespace testsupport {

namespace {

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    const auto length = ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return true;
}

HWND WaitForWindow(const std::wstring& caption, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, nullptr, caption.c_str()));) {
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) && WindowText(window) == caption)
                return window;
        }
        if (std::chrono::steady_clock::now() > end) return nullptr;
        ::Sleep(20);
    }
}

std::wstring ItemText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

std::vector<std::wstring> ListTexts(HWND list) {
    std::vector<std::wstring> texts;
    for (int item = 0; item < ListView_GetItemCount(list); ++item) {
        wchar_t text[261] = {};
        ListView_GetItemText(list, item, 0, text, 261);
        texts.emplace_back(text);
    }
    return texts;
}

void PostClick(HWND dialog, int id) { ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void SendItemActivate(HWND dialog, int listId, int item) {
    NMITEMACTIVATE notification{};
    notification.hdr = {::GetDlgItem(dialog, listId), static_cast<UINT_PTR>(listId), LVN_ITEMACTIVATE};
    notification.iItem = item;
    ::SendMessageW(dialog, WM_NOTIFY, listId, reinterpret_cast<LPARAM>(&notification));
}

void Screenshot(HWND window, const std::string& name) {
    if (!std::getenv("ORVANE_SCREENSHOTS")) return;
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpUntil([] { return false; }, std::chrono::milliseconds(500));
    // The client area only: without a window manager the frame and caption are not drawn.
    RECT r{};
    ::GetClientRect(window, &r);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    const std::filesystem::path target = SourceDir() / "docs" / "screenshots" / (name + ".png");
    std::error_code ignored;
    std::filesystem::remove(target, ignored);
    const std::wstring crop = std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
                              std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
    ChildProcess import(L"Z:\\usr\\bin\\import", {L"-window", L"root", L"-crop", crop, LinuxPathOf(target)});
    // Wine does not tell when a Linux program ends: wait for the picture itself, the window
    // left as it is meanwhile.
    std::uintmax_t size = 0;
    for (int tick = 0; tick < 200; ++tick) {
        ::Sleep(50);
        const std::uintmax_t now = std::filesystem::exists(target, ignored) ? std::filesystem::file_size(target, ignored) : 0;
        if (now > 0 && now == size) break;
        size = now;
    }
}

}  // namespace testsupport
