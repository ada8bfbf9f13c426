#include "Orvane/app/TrayIcon.h"

#include <algorithm>

namespace {

template <std::size_t N>
void CopyCut(wchar_t (&field)[N], const std::wstring& text) {
    const std::size_t count = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), count, field);
    field[count] = L'\0';
}

}  // namespace

CTrayIcon::CTrayIcon(Notify notify) : m_notify(notify), m_data{} {
    // The form with balloon fields, as every version since Windows 2000 reads it.
    m_data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    m_data.uID = 1;
}

CTrayIcon::~CTrayIcon() {
    Remove();
}

void CTrayIcon::SetOwner(HWND window, UINT message) {
    m_data.hWnd = window;
    m_data.uCallbackMessage = message;
}

void CTrayIcon::Show(HICON icon) {
    HICON replaced = m_data.hIcon;
    m_data.hIcon = icon;
    if (!m_added) {
        m_data.uFlags = NIF_MESSAGE | NIF_ICON;
        m_notify(NIM_ADD, &m_data);
        m_added = true;
        return;
    }
    m_data.uFlags = NIF_ICON;
    m_notify(NIM_MODIFY, &m_data);
    if (replaced) ::DestroyIcon(replaced);
}

void CTrayIcon::ShowResourceIcon(int id) {
    if (id == m_resourceId) return;
    m_resourceId = id;
    Show(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
}

void CTrayIcon::ShowBuiltIcon(HICON icon) {
    if (icon == m_builtIcon) return;
    m_builtIcon = icon;
    Show(icon);
}

void CTrayIcon::SetTooltip(const std::wstring& text) {
    CopyCut(m_data.szTip, text);
    m_data.uFlags = NIF_TIP;
    m_notify(NIM_MODIFY, &m_data);
}

void CTrayIcon::ShowBalloon(DWORD kind, const std::wstring& title, const std::wstring& text, UINT timeout) {
    CopyCut(m_data.szInfoTitle, title);
    CopyCut(m_data.szInfo, text);
    m_data.dwInfoFlags = kind;
    m_data.uTimeout = timeout;
    m_data.uFlags = NIF_INFO;
    m_notify(NIM_MODIFY, &m_data);
}

void CTrayIcon::Remove() {
    if (!m_added) return;
    m_data.uFlags = 0;
    m_notify(NIM_DELETE, &m_data);
    if (m_data.hIcon) ::DestroyIcon(m_data.hIcon);
    m_data.hIcon = nullptr;
    m_added = false;
}

void CTrayIcon::Restore() {
    if (!m_added) return;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_notify(NIM_ADD, &m_data);
}
