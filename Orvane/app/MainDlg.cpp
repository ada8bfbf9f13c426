#include "Orvane/app/MainDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "Orvane/app/AboutDlg.h"
#include "Orvane/app/DlgErrorInfo.h"
#include "Orvane/app/DlgFTPDestination.h"
#include "Orvane/app/JobTexts.h"
#include "Orvane/engine/dialogs/FTPEngineResLibDlgBrowseFolder.h"
#include "Orvane/engine/dialogs/PendingTaskMessages.h"
#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/DataProtection.h"
#include "platform/Strings.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"

namespace {
constexpr UINT_PTR kRetryTimer = 1001;
constexpr UINT_PTR kRedrawTimer = 1002;
constexpr UINT kDeferredHandOffMessage = WM_APP + 1;  // posted to the main dialog, no parameters
}  // namespace

CMainDlg::CMainDlg(std::optional<std::wstring> argument, CTrayIcon::Notify notify)
    : CDialog(IDD_MAINDLG),
      m_argument(std::move(argument)),
      m_tray(notify),
      m_controller(*this, platform::SystemRegistry(), platform::SystemDataProtection()),
      m_engine(std::make_unique<CFTPEngine>()) {
    if (m_argument)
        m_handoffWindow = std::make_unique<CExtensionTargetWindow>(
            [this](UINT message, WPARAM wParam, LPARAM lParam) { return OnUploadMessage(message, wParam, lParam); },
            *m_argument);
}

// The icon goes first: stopping the engine below may wait up to a minute for its worker.
CMainDlg::~CMainDlg() {
    m_tray.Remove();
}

void CMainDlg::CloseAndQuit() {
    m_tray.Remove();  // at once: the engine is stopped only after the loop, and may take its time
    m_controller.OnEnding();
    if (m_handoffWindow) m_handoffWindow->Destroy();
    if (Handle()) ::DestroyWindow(Handle());
    ::PostQuitMessage(0);
}

HWND CMainDlg::List() const {
    return Item(IDC_DESTINATIONS);
}

INT_PTR CMainDlg::OnInitDialog() {
    if (m_argument && !m_argument->empty()) {
        m_tray.SetOwner(Handle(), WM_TRAY_NOTIFY);
        m_tray.ShowResourceIcon(kUploadingIcon);
    }
    CentreOnOwner();
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const auto big = ::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                  ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
    const auto small = ::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                    ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SetUpList();
    FillList();
    m_defaultDestination = DestinationStore().GetDefaultDestination();
    UpdateButtons();
    return TRUE;
}

void CMainDlg::SetUpList() {
    ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT);
    const struct {
        unsigned text;
        int width;
    } columns[] = {{IDS_COLUMN_NAME, 150}, {IDS_COLUMN_SERVER, 200}, {IDS_COLUMN_FOLDER, 150}};
    int index = 0;
    for (const auto& wanted : columns) {
        std::wstring title = platform::LoadText(wanted.text);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = wanted.width;
        column.pszText = title.data();
        ListView_InsertColumn(List(), index++, &column);
    }
}

void CMainDlg::FillList() {
    for (const FTPDestination& destination : DestinationStore().LoadAllDestinations())
        if (destination.number != 0) InsertRow(ListView_GetItemCount(List()), destination);
}

void CMainDlg::InsertRow(int index, const FTPDestination& destination) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(destination.displayName.c_str());
    item.lParam = destination.number;
    const int row = ListView_InsertItem(List(), &item);
    if (row < 0) return;
    ListView_SetItemText(List(), row, 1, const_cast<wchar_t*>(destination.server.c_str()));
    ListView_SetItemText(List(), row, 2, const_cast<wchar_t*>(destination.directory.c_str()));
}

void CMainDlg::SelectRow(int index) {
    ListView_SetItemState(List(), index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    if (ListView_GetItemState(List(), index, LVIS_SELECTED)) ListView_EnsureVisible(List(), index, FALSE);
}

int CMainDlg::SelectedRow() const {
    return ListView_GetNextItem(List(), -1, LVNI_SELECTED);
}

std::int32_t CMainDlg::RowNumber(int index) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    ListView_GetItem(List(), &item);
    return static_cast<std::int32_t>(item.lParam);
}

void CMainDlg::UpdateButtons() {
    const int selected = SelectedRow();
    EnableItem(IDC_REMOVE, selected >= 0);
    EnableItem(IDC_PROPERTIES, selected >= 0);
    EnableItem(IDC_SET_DEFAULT, selected >= 0 && RowNumber(selected) != m_defaultDestination);
}

bool CMainDlg::OnCommand(int id, int) {
    switch (id) {
    case IDC_ADD:
        OnAdd();
        return true;
    case IDC_REMOVE:
        OnRemove();
        return true;
    case IDC_PROPERTIES:
        OnProperties();
        return true;
    case IDC_SET_DEFAULT:
        OnSetDefault();
        return true;
    case IDC_ABOUT: {
        CAboutDlg about;
        about.DoModal(ActiveOwner());
        return true;
    }
    case IDC_CLOSE:
        CloseAndQuit();
        return true;
    case IDCANCEL:  // Esc does not close the main dialog
        return true;
    default:
        return false;
    }
}

std::optional<INT_PTR> CMainDlg::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_DESTINATIONS) return std::nullopt;
    if (header.code == NM_CLICK) {
        UpdateButtons();
        return TRUE;
    }
    if (header.code == LVN_ITEMACTIVATE) {
        OnProperties();
        return TRUE;
    }
    return std::nullopt;
}

std::optional<INT_PTR> CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        DiscardPendingTaskMessages(Handle());
        return std::nullopt;
    }
    if (message == WM_COPYDATA) {
        OnHandOff(wParam, lParam);
        if (Handle()) ::SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, TRUE);  // a dialog answers through this
        return TRUE;
    }
    // Only here, not for the hand-off window, which receives the broadcast as well.
    if (m_taskbarCreated != 0 && message == m_taskbarCreated) {
        m_tray.Restore();
        return std::nullopt;
    }
    if (OnUploadMessage(message, wParam, lParam)) return TRUE;
    return std::nullopt;
}

// The hand-off window passes everything here as well, so both windows answer the same way.
std::optional<LRESULT> CMainDlg::OnUploadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto w = static_cast<std::uintptr_t>(wParam);
    const auto l = static_cast<std::uintptr_t>(lParam);
    // Sent to us while the controller waits for the shell in a tray update: a tray click would
    // open a modal loop in the middle of that update, and a close would end the program there.
    if ((message == WM_TRAY_NOTIFY || message == WM_CLOSE) && m_controller.InTrayUpdate()) {
        ::PostMessageW(Handle(), message, wParam, lParam);
        return 0;
    }
    switch (message) {
    case WM_COPYDATA:
        OnHandOff(wParam, lParam);
        return TRUE;
    case WM_CLOSE:  // to either window: the program ends the normal way, never headless
        CloseAndQuit();
        return 0;
    case kDeferredHandOffMessage:
        m_controller.OnDeferredHandOff();
        return 0;
    case WM_UPLOAD_STARTED:
        if (const auto key = platform::AdoptPosted<std::wstring>(l)) m_controller.OnUploadStarted(*key);
        return 0;
    case WM_UPLOAD_STATUS:
        platform::AdoptPosted<std::wstring>(w), platform::AdoptPosted<std::wstring>(l);
        return 0;
    case WM_UPLOAD_PROGRESS:
        if (const auto path = platform::AdoptPosted<std::wstring>(w))
            m_controller.OnProgress(*path, static_cast<std::int64_t>(lParam));
        return 0;
    case WM_UPLOAD_RESUMED:
        if (const auto path = platform::AdoptPosted<std::wstring>(w))
            m_controller.OnResumed(*path, static_cast<std::int64_t>(lParam));
        return 0;
    case WM_UPLOAD_FILE_DONE: {
        const auto path = platform::AdoptPosted<std::wstring>(w);
        const auto key = platform::AdoptPosted<std::wstring>(l);
        if (path && key) m_controller.OnFileDone(*path, *key);
        return 0;
    }
    case WM_UPLOAD_FINISHED: {
        const auto result = platform::AdoptPosted<CTaskResult>(w);
        const auto key = platform::AdoptPosted<std::wstring>(l);
        if (result && key) m_controller.OnUploadFinished(*result, *key);
        return 0;
    }
    case WM_UPLOAD_FILE_SKIPPED: {
        const auto path = platform::AdoptPosted<std::wstring>(w);
        const auto skip = platform::AdoptPosted<UploadSkip>(l);
        if (path && skip) m_controller.OnFileSkipped(*path, skip->jobKey, skip->errorCode);
        return 0;
    }
    case WM_TIMER:
        if (w == kRedrawTimer) {
            ::KillTimer(Handle(), kRedrawTimer);
            m_controller.OnRedrawTimer();
        } else if (w == kRetryTimer) {
            m_controller.OnRetryTimer();
        }
        return 0;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(lParam);
        return 0;
    default:
        return std::nullopt;
    }
}

void CMainDlg::OnHandOff(WPARAM wParam, LPARAM lParam) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    platform::GuidBytes guid{};
    // Only a well-formed hand-off is read: a shorter one would be read past its end.
    if (!data || data->cbData != guid.size() || !data->lpData) return;
    std::memcpy(guid.data(), data->lpData, guid.size());
    m_controller.OnHandOff(static_cast<std::int32_t>(wParam), GuidText(guid));
}

void CMainDlg::OnTrayNotify(LPARAM mouseMessage) {
    switch (mouseMessage) {
    case WM_CONTEXTMENU:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        ShowTrayMenu();
        break;
    case WM_LBUTTONDBLCLK:
        if (m_controller.ErrorState()) m_controller.ShowErrorInformation();
        else m_controller.ConfirmStop();
        break;
    case NIN_BALLOONUSERCLICK:
        m_controller.ShowErrorInformation();
        break;
    default:
        break;
    }
}

void CMainDlg::ShowTrayMenu() {
    HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    if (!menu) return;
    HMENU popup = ::GetSubMenu(menu, 0);
    ::SetMenuDefaultItem(popup, 0, TRUE);
    std::wstring text;
    if (m_controller.ErrorState()) text = platform::LoadText(IDS_SHOW_ERROR);
    else if (const UploadJob* job = m_controller.CurrentJob())
        text = FillText(platform::LoadText(IDS_STOP_UPLOAD_TO), {job->destinationName});
    if (!text.empty()) ::ModifyMenuW(popup, 0, MF_BYPOSITION | MF_STRING, ID_TRAY_STOP, text.c_str());
    ::SetForegroundWindow(Handle());
    POINT point{};
    ::GetCursorPos(&point);
    if (!::MonitorFromPoint(point, MONITOR_DEFAULTTONULL)) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        ::GetMonitorInfoW(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info);
        point.x = std::clamp(point.x, info.rcWork.left, info.rcWork.right);
    }
    const UINT command = ::TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_NONOTIFY | TPM_RETURNCMD, point.x, point.y, 0,
                                          Handle(), nullptr);
    // Without a message to its window after it returns, the menu of a background program may
    // stay up after a click elsewhere, or fail to open the next time.
    ::PostMessageW(Handle(), WM_NULL, 0, 0);
    ::DestroyMenu(menu);
    if (command != ID_TRAY_STOP) return;
    if (m_controller.ErrorState()) m_controller.ShowErrorInformation();
    else m_controller.ConfirmStop();
}

void CMainDlg::StartUpload(const FTPSettings& destination, const std::wstring& key, const UploadJob& job) {
    m_engine->Upload(destination, key, job, platform::WindowRef{reinterpret_cast<std::intptr_t>(Handle())});
}

bool CMainDlg::ConfirmFolder(FTPSettings& destination) {
    CFTPEngineResLibDlgBrowseFolder browser(destination, IsTroubleshootList());
    return browser.DoModal(ActiveOwner()) == 1;
}

void CMainDlg::StartRetryTimer(std::uint32_t milliseconds) {
    ::SetTimer(Handle(), kRetryTimer, milliseconds, nullptr);
}

void CMainDlg::StartRedrawTimer(std::uint32_t milliseconds) {
    ::SetTimer(Handle(), kRedrawTimer, milliseconds, nullptr);
}

void CMainDlg::ScheduleDeferredHandOff() {
    ::PostMessageW(Handle(), kDeferredHandOffMessage, 0, 0);
}

void CMainDlg::KillRetryTimer() {
    ::KillTimer(Handle(), kRetryTimer);
}

void CMainDlg::ShowResourceIcon(int id) {
    m_tray.ShowResourceIcon(id);
}

void CMainDlg::ShowProgressIcon(int percent) {
    m_tray.ShowBuiltIcon(m_progressIcon.MakeIcon(percent));
}

void CMainDlg::SetTooltip(const std::wstring& text) {
    m_tray.SetTooltip(text);
}

void CMainDlg::ShowErrorBalloon(const std::wstring& title, const std::wstring& text) {
    m_tray.ShowBalloon(NIIF_ERROR, title, text, 10000);
}

bool CMainDlg::AskToStop(const std::wstring& question) {
    return ::MessageBoxW(Handle(), question.c_str(), platform::LoadText(IDS_UPLOAD_CAPTION).c_str(),
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::optional<int> CMainDlg::ShowErrorDialog(const CTaskResult& result, const UploadJob& job) {
    CDlgErrorInfo dialog(result, job);
    const INT_PTR answer = dialog.DoModal(ActiveOwner());
    if (answer <= 0) return std::nullopt;
    return static_cast<int>(answer);
}

void CMainDlg::ShowLeftOutReport(const std::wstring& text) {
    ::MessageBoxW(Handle(), text.c_str(), platform::LoadText(IDS_UPLOAD_CAPTION).c_str(), MB_OK | MB_ICONWARNING);
}

std::uint32_t CMainDlg::NowTick() {
    return ::GetTickCount();
}

void CMainDlg::OnAdd() {
    const DestinationStore store;
    FTPDestination destination = store.CreateDestination(false);
    CDlgFTPDestination dialog(destination);
    if (dialog.DoModal(ActiveOwner()) != IDOK) return;
    store.SaveDestination(destination);
    const int row = ListView_GetItemCount(List());
    InsertRow(row, destination);
    SelectRow(row);
    UpdateButtons();
}

void CMainDlg::OnRemove() {
    const int selected = SelectedRow();
    if (selected < 0) return;
    const std::int32_t number = RowNumber(selected);
    ListView_DeleteItem(List(), selected);
    const int count = ListView_GetItemCount(List());
    if (count > 0) SelectRow(selected < count ? selected : count - 1);
    DestinationStore().RemoveDestination(number);
    UpdateButtons();
}

void CMainDlg::OnProperties() {
    const int selected = SelectedRow();
    if (selected < 0) return;
    const DestinationStore store;
    FTPDestination destination = store.GetDestination(RowNumber(selected));
    CDlgFTPDestination dialog(destination);
    if (dialog.DoModal(ActiveOwner()) != IDOK) return;
    store.SaveDestination(destination);
    ListView_DeleteItem(List(), selected);
    InsertRow(selected, destination);
    SelectRow(selected);
}

void CMainDlg::OnSetDefault() {
    const int selected = SelectedRow();
    if (selected < 0) return;
    m_defaultDestination = RowNumber(selected);
    DestinationStore().SetDefaultDestination(m_defaultDestination);
    UpdateButtons();
}
