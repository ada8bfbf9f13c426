#pragma once
#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/dialogs/Dialog.h"
#include "Orvane/engine/tasks/TaskResult.h"

// After a failed upload: what went wrong and how far the job had got, with Check settings,
// Retry (DoModal returns 4), See log and Stop (3). Esc and the close box do nothing.
class CDlgErrorInfo final : public CDialog {
public:
    CDlgErrorInfo(const CTaskResult& result, const UploadJob& job);

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    const CTaskResult* m_result;
    const UploadJob* m_job;
};
