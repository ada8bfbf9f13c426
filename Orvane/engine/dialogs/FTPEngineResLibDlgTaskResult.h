#pragma once
#include "Orvane/engine/dialogs/TextReportDialog.h"
#include "Orvane/engine/tasks/TaskResult.h"

// Shows one task's result: the heading, and for a failure the FTP transcript and the error's
// texts. The result must outlive the dialog.
class CFTPEngineResLibDlgTaskResult final : public CTextReportDialog {
public:
    explicit CFTPEngineResLibDlgTaskResult(const CTaskResult& result);

private:
    INT_PTR OnInitDialog() override;

    const CTaskResult* m_result;
};
