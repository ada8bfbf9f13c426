#pragma once
#include "Orvane/engine/dialogs/Dialog.h"
#include "Orvane/engine/tasks/TaskResult.h"

// Shows one task's result: the heading, and for a failure the FTP transcript and the error's
// texts. The result must outlive the dialog.
class CFTPEngineResLibDlgTaskResult final : public CDialog {
public:
    explicit CFTPEngineResLibDlgTaskResult(const CTaskResult& result);

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    const CTaskResult* m_result;
};
