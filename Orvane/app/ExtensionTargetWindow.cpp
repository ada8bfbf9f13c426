#include "Orvane/app/ExtensionTargetWindow.h"

namespace {

constexpr wchar_t kClassName[] = L"OrvaneWindow";

void RegisterWindowClass(WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw static_cast<int>(::GetLastError());
}

}  // namespace

CExtensionTargetWindow::CExtensionTargetWindow(OwnerHandler owner, std::wstring title)
    : m_owner(std::move(owner)), m_title(std::move(title)) {
    RegisterWindowClass(&WindowProcedure);
    // Never shown: no WS_VISIBLE, and no text until WM_CREATE sets the title.
    if (!::CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, nullptr, WS_CLIPSIBLINGS | WS_CLIPCHILDREN, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                           this))
        throw static_cast<int>(::GetLastError());
}

CExtensionTargetWindow::~CExtensionTargetWindow() {
    Destroy();
}

void CExtensionTargetWindow::Destroy() {
    if (m_window) ::DestroyWindow(m_window);  // WM_NCDESTROY clears m_window
}

LRESULT CALLBACK CExtensionTargetWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CExtensionTargetWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_window = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CExtensionTargetWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(window, message, wParam, lParam);
}

// `window` rather than m_window: the owner's handler may destroy the window before it returns.
LRESULT CExtensionTargetWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        ::SetWindowTextW(window, m_title.c_str());
        return 0;
    }
    if (m_owner) {
        if (const auto result = m_owner(message, wParam, lParam)) return *result;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
