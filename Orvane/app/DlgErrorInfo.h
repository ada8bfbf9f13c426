#pragma once
#include <cstdint>
#include <string>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/dialogs/Dialog.h"
#include "Orvane/engine/tasks/TaskResult.h"

// After a failed upload: what went wrong and how far the job had got, with Check settings,
// Retry (DoModal returns 4), See log and Stop (3). Esc and the close box do nothing.
// It keeps copies of what it shows: its loop lets the job end or go on while it is open.
class CDlgErrorInfo final : public CDialog {
public:
    CDlgErrorInfo(const CTaskResult& result, const UploadJob& job);

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    CTaskResult m_result;
    std::wstring m_text;
    std::int32_t m_destinationNumber;
};
