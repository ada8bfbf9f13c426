#include "Orvane/app/AboutDlg.h"

#include <cwchar>

#include "Orvane/resources/ResourceIds.h"
#include "Orvane/resources/Version.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

INT_PTR CAboutDlg::OnInitDialog() {
    const std::wstring format = ItemText(IDC_ABOUT_TEXT, 512);
    std::wstring text(format.size() + 32, L'\0');
    const int length = std::swprintf(text.data(), text.size(), format.c_str(), ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR,
                                     ORVANE_VERSION_BUILD);
    if (length >= 0) SetItemText(IDC_ABOUT_TEXT, text.substr(0, static_cast<std::size_t>(length)));
    CentreOnOwner();
    return TRUE;
}

bool CAboutDlg::OnCommand(int id, int) {
    if (id != IDOK && id != IDCANCEL) return false;
    End(id);
    return true;
}
