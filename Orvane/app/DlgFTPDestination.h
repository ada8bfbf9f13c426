#pragma once
#include <optional>

#include "Orvane/app/DestinationFields.h"
#include "Orvane/engine/dialogs/Dialog.h"
#include "store/FTPSettings.h"

// Edits one destination: display name, server (which also takes a whole ftp://, ftpes:// or
// ftps:// address), user name, password, starting folder and encryption, with a connection test
// and the remote folder browser. A server certificate the user chooses to trust in either is kept
// with the destination on OK, as the fields are. DoModal returns 1 when the fields were read into
// the destination and accepted, 2 on Cancel.
class CDlgFTPDestination final : public CDialog {
public:
    explicit CDlgFTPDestination(FTPSettings& destination);

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;

    void FillFields(const FTPSettings& from);
    // Reads the fields into `into`; shows the address error and returns false when the Server
    // text is malformed.
    bool ReadFields(FTPSettings& into);
    // False at the first required field left empty in `read`: its message shown, the focus on it.
    bool CheckRequiredFields(const FTPSettings& read);
    void ShowError(unsigned textId, int focusId);
    void OnOK();
    void OnTest();
    void OnBrowse();

    FTPSettings* m_destination;
    // The certificate trusted so far: the destination's, or one the test or the browser accepted.
    std::optional<platform::Sha256Fingerprint> m_trustedCertificate;
};
