#include "Orvane/engine/dialogs/FTPEngineResLibDlgTaskResult.h"

#include "Orvane/engine/dialogs/DialogTexts.h"
#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/resources/EngineResourceIds.h"
#include "platform/Strings.h"

CFTPEngineResLibDlgTaskResult::CFTPEngineResLibDlgTaskResult(const CTaskResult& result)
    : CDialog(IDD_FTP_TASK_RESULT), m_result(&result) {}

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
    AppendText(Item(IDC_RESULT_TEXT), TaskResultText(*m_result, heading));
    return TRUE;
}

bool CFTPEngineResLibDlgTaskResult::OnCommand(int id, int) {
    if (id != IDOK) return false;
    End(IDOK);
    return true;
}

std::optional<INT_PTR> CFTPEngineResLibDlgTaskResult::OnMessage(UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Item(IDC_RESULT_TEXT))
        return WindowColourBrush();
    return std::nullopt;
}
