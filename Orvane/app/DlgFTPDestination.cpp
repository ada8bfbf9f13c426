#include "Orvane/app/DlgFTPDestination.h"

#include <iterator>

#include "Orvane/app/DlgTestConnection.h"
#include "Orvane/engine/dialogs/FTPEngineResLibDlgBrowseFolder.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Strings.h"
#include "store/ApplicationSettings.h"

namespace {

constexpr std::size_t kFieldCapacity = 260;
// The combo's entries, in FTPEncryption's order: an entry's index is the setting's number.
constexpr unsigned kEncryptionTexts[] = {IDS_ENCRYPTION_NONE, IDS_ENCRYPTION_IF_OFFERED, IDS_ENCRYPTION_REQUIRED,
                                         IDS_ENCRYPTION_IMPLICIT};

}  // namespace

CDlgFTPDestination::CDlgFTPDestination(FTPSettings& destination)
    : CDialog(IDD_FTP_DESTINATION), m_destination(&destination), m_trustedCertificate(destination.trustedCertificate) {}

INT_PTR CDlgFTPDestination::OnInitDialog() {
    CentreOnOwner();
    ::SendDlgItemMessageW(Handle(), IDC_DISPLAY_NAME, EM_LIMITTEXT, 40, 0);
    for (int id : {IDC_SERVER, IDC_USERNAME, IDC_PASSWORD, IDC_DIRECTORY})
        ::SendDlgItemMessageW(Handle(), id, EM_LIMITTEXT, 260, 0);
    for (unsigned text : kEncryptionTexts)
        ::SendDlgItemMessageW(Handle(), IDC_ENCRYPTION, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(platform::LoadText(text).c_str()));
    FillFields(*m_destination);
    return TRUE;
}

bool CDlgFTPDestination::OnCommand(int id, int) {
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        FillFields(*m_destination);
        End(IDCANCEL);
        return true;
    case IDC_TEST:
        OnTest();
        return true;
    case IDC_BROWSE:
        OnBrowse();
        return true;
    default:
        return false;
    }
}

void CDlgFTPDestination::FillFields(const FTPSettings& from) {
    SetItemText(IDC_DISPLAY_NAME, from.displayName);
    // The port is shown where it is not the scheme's own, so that OK and Browse... keep it.
    SetItemText(IDC_SERVER, HostAndPort(from));
    SetItemText(IDC_USERNAME, from.userName);
    SetItemText(IDC_PASSWORD, from.password);
    SetItemText(IDC_DIRECTORY, from.directory);
    ::SendDlgItemMessageW(Handle(), IDC_ENCRYPTION, CB_SETCURSEL, static_cast<WPARAM>(from.encryption), 0);
}

bool CDlgFTPDestination::ReadFields(FTPSettings& into) {
    const LRESULT chosen = ::SendDlgItemMessageW(Handle(), IDC_ENCRYPTION, CB_GETCURSEL, 0, 0);
    const DestinationFields fields{ItemText(IDC_DISPLAY_NAME, kFieldCapacity),
                                   ItemText(IDC_SERVER, kFieldCapacity),
                                   ItemText(IDC_USERNAME, kFieldCapacity),
                                   ItemText(IDC_PASSWORD, kFieldCapacity),
                                   ItemText(IDC_DIRECTORY, kFieldCapacity),
                                   chosen >= 0 && chosen < static_cast<LRESULT>(std::size(kEncryptionTexts))
                                       ? static_cast<FTPEncryption>(chosen)
                                       : FTPEncryption::ExplicitIfOffered};
    into.trustedCertificate = m_trustedCertificate;
    if (const unsigned error = ReadDestinationFields(fields, into)) {
        ShowError(error, IDC_SERVER);
        return false;
    }
    return true;
}

void CDlgFTPDestination::ShowError(unsigned textId, int focusId) {
    ::MessageBoxW(Handle(), platform::LoadText(textId).c_str(), platform::LoadText(IDS_DESTINATION_CAPTION).c_str(),
                  MB_OK | MB_ICONERROR);
    ::SetFocus(Item(focusId));
}

bool CDlgFTPDestination::CheckRequiredFields(const FTPSettings& read) {
    const struct {
        const std::wstring& value;
        unsigned message;
        int field;
    } required[] = {{read.displayName, IDS_DISPLAY_NAME_EMPTY, IDC_DISPLAY_NAME},
                    {read.server, IDS_SERVER_EMPTY, IDC_SERVER},
                    {read.userName, IDS_USERNAME_EMPTY, IDC_USERNAME},
                    {read.password, IDS_PASSWORD_EMPTY, IDC_PASSWORD}};
    for (const auto& check : required) {
        if (check.value.empty()) {
            ShowError(check.message, check.field);
            return false;
        }
    }
    return true;
}

void CDlgFTPDestination::OnOK() {
    // Read into a copy: a refused OK followed by Cancel must leave the caller's record as it was.
    FTPSettings read = *m_destination;
    if (!ReadFields(read) || !CheckRequiredFields(read)) return;
    *m_destination = read;
    End(IDOK);
}

// The test and the browser may trust the server's certificate: it is kept for OK.
void CDlgFTPDestination::OnTest() {
    FTPSettings trial;
    if (!ReadFields(trial)) return;
    CDlgTestConnection dialog(trial);
    dialog.DoModal(ActiveOwner());
    m_trustedCertificate = trial.trustedCertificate;
}

void CDlgFTPDestination::OnBrowse() {
    FTPSettings trial;
    if (!ReadFields(trial)) return;
    CFTPEngineResLibDlgBrowseFolder dialog(trial, IsTroubleshootList(), true);
    const INT_PTR result = dialog.DoModal(ActiveOwner());
    m_trustedCertificate = trial.trustedCertificate;
    if (result == 1) FillFields(trial);
}
