#include "platform/Window.h"

#include <winsock2.h>
#include <windows.h>

#include <optional>

#include "platform/win32/EventImpl.h"
#include "platform/win32/Wait.h"

namespace platform {

namespace {

HWND Hwnd(WindowRef window) { return reinterpret_cast<HWND>(window.handle); }

// Takes a WM_QUIT out of the way of a nested message loop and puts it back when that loop
// ends, so that the thread's own loop still sees it and the program ends as asked.
class QuitKeeper {
public:
    void Take(const MSG& message) { m_exitCode = static_cast<int>(message.wParam); }
    ~QuitKeeper() {
        if (m_exitCode) ::PostQuitMessage(*m_exitCode);
    }

private:
    std::optional<int> m_exitCode;
};

void DispatchAll(QuitKeeper& quit) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) quit.Take(message);
        ::DispatchMessageW(&message);  // not translated: no keyboard input is expected here
    }
}

}  // namespace

bool PostToWindow(WindowRef window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    // PostMessageW with no window posts to the calling thread's own queue, where nobody would
    // take ownership of what the message carries.
    if (window.handle == 0) return false;
    return ::PostMessageW(Hwnd(window), message, wParam, lParam) != 0;
}

bool IsWindowAlive(WindowRef window) { return window.handle != 0 && ::IsWindow(Hwnd(window)) != 0; }

struct MessageWindow::State {
    MessageHandler handler;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<State*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && self->handler(message, wParam, lParam)) return 0;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
};

MessageWindow::MessageWindow(const std::wstring& className, MessageHandler handler)
    : m_state(std::make_unique<State>()) {
    m_state->handler = std::move(handler);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    // The class settings of the program's other hidden window. A second registration of the
    // same class fails harmlessly: the first one's procedure is this one.
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = &State::Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className.c_str();
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw static_cast<int>(::GetLastError());
    HWND window = ::CreateWindowExW(WS_EX_CLIENTEDGE, className.c_str(), nullptr,
                                    WS_CLIPSIBLINGS | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                                    m_state.get());
    if (!window) throw static_cast<int>(::GetLastError());
    m_window = WindowRef{reinterpret_cast<std::intptr_t>(window)};
}

MessageWindow::~MessageWindow() { Destroy(); }

void MessageWindow::Destroy() {
    if (m_window.handle == 0) return;
    HWND window = Hwnd(m_window);
    {
        QuitKeeper quit;
        MSG message;
        while (::PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) quit.Take(message);
            ::DispatchMessageW(&message);
        }
    }
    ::DestroyWindow(window);
    m_window = WindowRef{};
}

void DispatchPendingMessages() {
    QuitKeeper quit;
    DispatchAll(quit);
}

bool WaitPumpingMessages(Event& event, Millis limit) {
    constexpr DWORD kAnyInputButRaw = 0x00FF;  // QS_ALLINPUT without QS_RAWINPUT
    HANDLE handle = event.Impl().handle.Get();
    QuitKeeper quit;
    for (;;) {
        DispatchAll(quit);
        DWORD outcome = ::MsgWaitForMultipleObjects(1, &handle, FALSE, win32::ToWaitMillis(limit),
                                                    kAnyInputButRaw);
        if (outcome == WAIT_OBJECT_0) return true;
        if (outcome != WAIT_OBJECT_0 + 1) return false;  // timed out (or the wait failed)
    }
}

}  // namespace platform
