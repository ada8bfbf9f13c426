#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "Orvane/app/IconConstructor.h"
#include "Orvane/app/TrayIcon.h"
#include "Orvane/app/UploadController.h"
#include "Orvane/engine/dialogs/Dialog.h"
#include "Orvane/engine/tasks/FTPEngine.h"
#include "store/FTPSettings.h"

// The callback message of the notification-area icon.
inline constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;

// The program's one main window, a modeless dialog. In destinations mode it is the list of FTP
// destinations with Add, Remove, Properties, Set Default and About. In upload mode (started with
// a destination number) it stays hidden behind its notification-area icon and its hand-off window,
// and runs the jobs the shell extension hands to it.
class CMainDlg final : public CDialog, private UploadControllerHost {
public:
    // `notify` reaches the notification area (tests record it instead).
    explicit CMainDlg(std::optional<std::wstring> argument, CTrayIcon::Notify notify = &::Shell_NotifyIconW);
    ~CMainDlg() override;

    // Takes the icon away, destroys the hand-off window and the dialog, and ends the message
    // loop. The engine stops only when the object is destroyed after the loop.
    void CloseAndQuit() override;
    // Shown with the start-up state unless it serves a destination.
    bool IsShownAtStart() const { return !m_argument || m_argument->empty(); }

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnNotify(const NMHDR& header) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Destinations mode.
    void SetUpList();
    void FillList();
    void UpdateButtons();
    void InsertRow(int index, const FTPDestination& destination);
    void SelectRow(int index);
    int SelectedRow() const;
    std::int32_t RowNumber(int index) const;
    void OnAdd();
    void OnRemove();
    void OnProperties();
    void OnSetDefault();
    HWND List() const;

    // Upload mode.
    std::optional<LRESULT> OnUploadMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnHandOff(WPARAM wParam, LPARAM lParam);
    void OnTrayNotify(LPARAM mouseMessage);
    void ShowTrayMenu();

    // What the job controller asks of the windows.
    void StartUpload(const FTPSettings& destination, const std::wstring& key, const UploadJob& job) override;
    bool ConfirmFolder(FTPSettings& destination) override;
    void StartRetryTimer(std::uint32_t milliseconds) override;
    void KillRetryTimer() override;
    void StartRedrawTimer(std::uint32_t milliseconds) override;
    void ScheduleDeferredHandOff() override;
    void ShowResourceIcon(int id) override;
    void ShowProgressIcon(int percent) override;
    void SetTooltip(const std::wstring& text) override;
    void ShowErrorBalloon(const std::wstring& title, const std::wstring& text) override;
    bool AskToStop(const std::wstring& question) override;
    std::optional<int> ShowErrorDialog(const CTaskResult& result, const UploadJob& job) override;
    void ShowLeftOutReport(const std::wstring& text) override;
    std::uint32_t NowTick() override;

    std::optional<std::wstring> m_argument;
    // Broadcast by the shell when the notification area was made anew.
    const UINT m_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    std::int32_t m_defaultDestination = 0;
    CTrayIcon m_tray;
    CIconConstructorProgress m_progressIcon;
    UploadController m_controller;
    std::unique_ptr<CFTPEngine> m_engine;
    std::unique_ptr<CExtensionTargetWindow> m_handoffWindow;
};
