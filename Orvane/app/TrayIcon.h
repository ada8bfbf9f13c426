#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

// The program's one notification-area icon. It owns the icon on display and destroys it when it
// replaces or removes it. The first icon shown adds the entry; Remove (or the destructor) takes
// it away.
class CTrayIcon {
public:
    // How the entry reaches the notification area; tests pass a recorder.
    using Notify = decltype(&::Shell_NotifyIconW);

    explicit CTrayIcon(Notify notify = &::Shell_NotifyIconW);
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Where clicks on the icon are reported, as `message` with the mouse message in lParam.
    void SetOwner(HWND window, UINT message);
    // An icon resource of the program at the small-icon size; the same id again changes nothing.
    void ShowResourceIcon(int id);
    // An icon built at run time; the tray takes it over.
    void ShowBuiltIcon(HICON icon);
    void SetTooltip(const std::wstring& text);  // first 127 characters
    void ShowBalloon(DWORD kind, const std::wstring& title, const std::wstring& text, UINT timeout);
    void Remove();
    // Adds the entry again, with the icon and tooltip it has now, after the notification area
    // was made anew (the shell restarted and broadcast "TaskbarCreated"): the old one is gone.
    void Restore();

private:
    void Show(HICON icon);

    Notify m_notify;
    NOTIFYICONDATAW m_data;
    int m_resourceId = 0;
    HICON m_builtIcon = nullptr;
    bool m_added = false;
};
