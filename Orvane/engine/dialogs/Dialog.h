#pragma once
#include <windows.h>

#include <optional>
#include <string>

// A dialog from a template of the running program, modal (DoModal) or modeless (Create). The
// object must outlive its window; its handlers run on the thread that made the window.
class CDialog {
public:
    explicit CDialog(unsigned templateId);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally, owned by `owner`; returns what End was given, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal(HWND owner);
    // Creates it modeless (not yet shown unless the template says so); false on failure.
    bool Create(HWND owner);
    HWND Handle() const { return m_window; }

protected:
    // Each returns nullopt for a message it leaves to the dialog manager.
    virtual INT_PTR OnInitDialog() { return TRUE; }
    virtual bool OnCommand(int id, int code);  // default: none handled
    virtual std::optional<INT_PTR> OnNotify(const NMHDR& header);
    virtual std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Ends a modal run with `result`; destroys a modeless dialog.
    void End(INT_PTR result);
    HWND Item(int id) const { return ::GetDlgItem(m_window, id); }
    // The control's text, at most `capacity` - 1 characters.
    std::wstring ItemText(int id, std::size_t capacity = 260) const;
    void SetItemText(int id, const std::wstring& text);
    void ShowItem(int id, bool show) { ::ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }
    void EnableItem(int id, bool enable) { ::EnableWindow(Item(id), enable); }
    // Centres the dialog on its owner, or on the screen's work area when it has none.
    void CentreOnOwner();
    // Answers WM_NOTIFY with `result` (for notifications whose answer is not the return value).
    INT_PTR NotifyResult(LRESULT result);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    unsigned m_template;
    HWND m_window = nullptr;
    bool m_modal = false;
};

// Appends to an edit the way every text area of the program does: caret to the end, scrolled
// into view, the empty selection replaced by `text`.
void AppendText(HWND edit, const std::wstring& text);

// The brush that makes a read-only edit look like an ordinary one, for WM_CTLCOLORSTATIC.
INT_PTR WindowColourBrush();

// The owner of a modal dialog opened now: the active window.
inline HWND ActiveOwner() { return ::GetActiveWindow(); }
