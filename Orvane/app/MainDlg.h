#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "Orvane/engine/dialogs/Dialog.h"
#include "store/FTPSettings.h"

// The program's one main window, a modeless dialog: in destinations mode the list of FTP
// destinations with Add, Remove, Properties, Set Default and About.
class CMainDlg final : public CDialog {
public:
    CMainDlg();

    // Destroys the dialog and ends the message loop.
    void CloseAndQuit();

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnNotify(const NMHDR& header) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void SetUpList();
    void FillList();
    void UpdateButtons();
    void InsertRow(int index, const FTPDestination& destination);
    void SelectRow(int index);
    int SelectedRow() const;
    std::int32_t RowNumber(int index) const;

    void OnAdd();
    void OnRemove();
    void OnProperties();
    void OnSetDefault();

    HWND List() const;

    std::int32_t m_defaultDestination = 0;
};
