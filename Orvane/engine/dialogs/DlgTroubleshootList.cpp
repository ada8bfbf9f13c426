#include "Orvane/engine/dialogs/DlgTroubleshootList.h"

#include "Orvane/resources/EngineResourceIds.h"

CDlgTroubleshootList::CDlgTroubleshootList(const std::wstring& listing)
    : CTextReportDialog(IDD_FTP_LIST_OUTPUT, IDC_RESULT_TEXT), m_listing(&listing) {}

INT_PTR CDlgTroubleshootList::OnInitDialog() {
    CentreOnOwner();
    ShowReport(*m_listing);
    return TRUE;
}
