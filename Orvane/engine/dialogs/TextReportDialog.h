#pragma once
#include "Orvane/engine/dialogs/Dialog.h"

// A dialog that shows a report in one read-only edit, looking like an ordinary one, and ends
// with OK.
class CTextReportDialog : public CDialog {
protected:
    CTextReportDialog(unsigned templateId, int textId) : CDialog(templateId), m_textId(textId) {}

    void ShowReport(const std::wstring& text) { AppendText(Item(m_textId), text); }

private:
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    int m_textId;
};
