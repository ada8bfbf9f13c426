#pragma once
#include <string>

#include "Orvane/engine/dialogs/Dialog.h"

// Shows the raw output of the last LIST command; the text must outlive the dialog.
class CDlgTroubleshootList final : public CDialog {
public:
    explicit CDlgTroubleshootList(const std::wstring& listing);

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    const std::wstring* m_listing;
};
