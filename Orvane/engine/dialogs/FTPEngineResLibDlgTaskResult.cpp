#include "Orvane/engine/dialogs/FTPEngineResLibDlgTaskResult.h"

#include "Orvane/engine/dialogs/DialogTexts.h"
#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/resources/EngineResourceIds.h"
#include "platform/Strings.h"

CFTPEngineResLibDlgTaskResult::CFTPEngineResLibDlgTaskResult(const CTaskResult& result)
    : CTextReportDialog(IDD_FTP_TASK_RESULT, IDC_RESULT_TEXT), m_result(&result) {}

INT_PTR CFTPEngineResLibDlgTaskResult::OnInitDialog() {
    CentreOnOwner();
    ::SendDlgItemMessageW(Handle(), IDC_RESULT_ERROR_ICON, STM_SETICON,
                          reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)), 0);
    ::SendDlgItemMessageW(Handle(), IDC_RESULT_INFO_ICON, STM_SETICON,
                          reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_INFORMATION)), 0);
    const bool succeeded = m_result->Succeeded();
    ShowItem(IDC_RESULT_ERROR_ICON, !succeeded);
    ShowItem(IDC_RESULT_INFO_ICON, succeeded);
    const std::wstring heading = platform::LoadText(succeeded ? EngineStrings::kConnectionSucceeded
                                                              : EngineStrings::kConnectionFailed);
    ShowReport(TaskResultText(*m_result, heading));
    return TRUE;
}
