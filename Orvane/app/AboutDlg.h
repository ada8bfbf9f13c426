#pragma once
#include "Orvane/engine/dialogs/Dialog.h"

// The program's name, version and build.
class CAboutDlg final : public CDialog {
public:
    CAboutDlg();

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
};
