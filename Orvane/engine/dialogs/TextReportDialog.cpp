#include "Orvane/engine/dialogs/TextReportDialog.h"

bool CTextReportDialog::OnCommand(int id, int) {
    if (id != IDOK) return false;
    End(IDOK);
    return true;
}

std::optional<INT_PTR> CTextReportDialog::OnMessage(UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Item(m_textId))
        return WindowColourBrush();
    return std::nullopt;
}
