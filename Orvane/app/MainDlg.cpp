#include "Orvane/app/MainDlg.h"

#include <commctrl.h>

#include "Orvane/app/AboutDlg.h"
#include "Orvane/app/DlgFTPDestination.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Strings.h"
#include "store/DestinationStore.h"

CMainDlg::CMainDlg() : CDialog(IDD_MAINDLG) {}

void CMainDlg::CloseAndQuit() {
    if (Handle()) ::DestroyWindow(Handle());
    ::PostQuitMessage(0);
}

HWND CMainDlg::List() const {
    return Item(IDC_DESTINATIONS);
}

INT_PTR CMainDlg::OnInitDialog() {
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
    for (const auto& spec : columns) {
        std::wstring title = platform::LoadText(spec.text);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = spec.width;
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

std::optional<INT_PTR> CMainDlg::OnMessage(UINT message, WPARAM, LPARAM) {
    if (message != WM_CLOSE) return std::nullopt;
    CloseAndQuit();
    return TRUE;
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
