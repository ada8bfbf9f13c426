#include "Orvane/app/DlgErrorInfo.h"

#include "Orvane/app/DlgFTPDestination.h"
#include "Orvane/app/JobTexts.h"
#include "Orvane/engine/dialogs/FTPEngineResLibDlgTaskResult.h"
#include "Orvane/resources/ResourceIds.h"
#include "store/DestinationStore.h"

CDlgErrorInfo::CDlgErrorInfo(const CTaskResult& result, const UploadJob& job)
    : CDialog(IDD_ERROR_INFO),
      m_result(result),
      m_text(ErrorInfoText(result, job)),
      m_destinationNumber(job.destinationNumber) {}

INT_PTR CDlgErrorInfo::OnInitDialog() {
    CentreOnOwner();
    AppendText(Item(IDC_ERROR_TEXT), m_text);
    return TRUE;
}

bool CDlgErrorInfo::OnCommand(int id, int) {
    switch (id) {
    case IDC_CHECK_SETTINGS: {
        const DestinationStore store;
        FTPDestination destination = store.GetDestination(m_destinationNumber);
        CDlgFTPDestination dialog(destination);
        if (dialog.DoModal(ActiveOwner()) == IDOK) store.SaveDestination(destination);
        return true;
    }
    case IDC_RETRY:
        End(4);
        return true;
    case IDC_SEE_LOG: {
        CFTPEngineResLibDlgTaskResult dialog(m_result);
        dialog.DoModal(ActiveOwner());
        return true;
    }
    case IDC_STOP:
        End(3);
        return true;
    case IDCANCEL:  // Esc does not end it
        return true;
    default:
        return false;
    }
}

std::optional<INT_PTR> CDlgErrorInfo::OnMessage(UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Item(IDC_ERROR_TEXT))
        return WindowColourBrush();
    return std::nullopt;
}
