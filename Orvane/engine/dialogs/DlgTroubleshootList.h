#pragma once
#include <string>

#include "Orvane/engine/dialogs/TextReportDialog.h"

// Shows the raw output of the last LIST command; the text must outlive the dialog.
class CDlgTroubleshootList final : public CTextReportDialog {
public:
    explicit CDlgTroubleshootList(const std::wstring& listing);

private:
    INT_PTR OnInitDialog() override;

    const std::wstring* m_listing;
};
