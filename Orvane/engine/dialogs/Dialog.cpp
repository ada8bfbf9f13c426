#include "Orvane/engine/dialogs/Dialog.h"

CDialog::CDialog(unsigned templateId) : m_template(templateId) {}

CDialog::~CDialog() {
    if (m_window && !m_modal) ::DestroyWindow(m_window);
}

INT_PTR CDialog::DoModal(HWND owner) {
    m_modal = true;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_template), owner, &Procedure,
                             reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(HWND owner) {
    m_modal = false;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_template), owner, &Procedure,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool CDialog::OnCommand(int, int) {
    return false;
}

std::optional<INT_PTR> CDialog::OnNotify(const NMHDR&) {
    return std::nullopt;
}

std::optional<INT_PTR> CDialog::OnMessage(UINT, WPARAM, LPARAM) {
    return std::nullopt;
}

void CDialog::End(INT_PTR result) {
    if (m_modal) ::EndDialog(m_window, result);
    else ::DestroyWindow(m_window);
}

std::wstring CDialog::ItemText(int id, std::size_t capacity) const {
    std::wstring text(capacity, L'\0');
    const UINT length = ::GetDlgItemTextW(m_window, id, text.data(), static_cast<int>(capacity));
    text.resize(length);
    return text;
}

void CDialog::SetItemText(int id, const std::wstring& text) {
    ::SetDlgItemTextW(m_window, id, text.c_str());
}

void CDialog::CentreOnOwner() {
    RECT area{}, own{};
    HWND owner = ::GetWindow(m_window, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);
    else ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    ::GetWindowRect(m_window, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    ::SetWindowPos(m_window, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CDialog::NotifyResult(LRESULT result) {
    ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK CDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        self->m_window = window;
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        self->m_window = nullptr;
        return FALSE;
    }
    if (message == WM_COMMAND) return self->OnCommand(LOWORD(wParam), HIWORD(wParam));
    if (message == WM_NOTIFY) return self->OnNotify(*reinterpret_cast<const NMHDR*>(lParam)).value_or(FALSE);
    return self->OnMessage(message, wParam, lParam).value_or(FALSE);
}

void AppendText(HWND edit, const std::wstring& text) {
    const int end = ::GetWindowTextLengthW(edit);
    ::SendMessageW(edit, EM_SETSEL, end, end);
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

INT_PTR WindowColourBrush() {
    return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_WINDOW));
}
