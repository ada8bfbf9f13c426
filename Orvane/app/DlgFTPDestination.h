#pragma once
#include "Orvane/app/DestinationFields.h"
#include "Orvane/engine/dialogs/Dialog.h"
#include "store/FTPSettings.h"

// Edits one destination: display name, server (which also takes a whole ftp:// address), user
// name, password and starting folder, with a connection test and the remote folder browser.
// DoModal returns 1 when the fields were read into the destination and accepted, 2 on Cancel.
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
};
