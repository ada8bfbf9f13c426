#include "Orvane/engine/dialogs/DlgTroubleshootList.h"

#include "Orvane/resources/EngineResourceIds.h"

CDlgTroubleshootList::CDlgTroubleshootList(const std::wstring& listing)
    : CDialog(IDD_FTP_LIST_OUTPUT), m_listing(&listing) {}

INT_PTR CDlgTroubleshootList::OnInitDialog() {
    CentreOnOwner();
    AppendText(Item(IDC_RESULT_TEXT), *m_listing);
    return TRUE;
}

bool CDlgTroubleshootList::OnCommand(int id, int) {
    if (id != IDOK) return false;
    End(IDOK);
    return true;
}

std::optional<INT_PTR> CDlgTroubleshootList::OnMessage(UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Item(IDC_RESULT_TEXT))
        return WindowColourBrush();
    return std::nullopt;
}
