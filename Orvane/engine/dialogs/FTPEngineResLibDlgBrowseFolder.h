#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Orvane/engine/dialogs/Dialog.h"
#include "Orvane/engine/tasks/FTPEngine.h"
#include "store/FTPSettings.h"

// Lets the user walk the server's folders from the destination's starting folder, and create
// and rename folders on the way. Writes the folder shown into the caller's record as the user
// moves; the caller keeps it only when DoModal returns 1 ("OK"), 2 is "Cancel". Listings run
// in the background (the list shows a waiting entry meanwhile); create and rename block with
// the messages flowing, for at most 30 s each. While either is under way, the list and the
// buttons that act on it are inert: the entries belong to no folder yet, and a second blocking
// call would take the first one's result.
class CFTPEngineResLibDlgBrowseFolder final : public CDialog {
public:
    // `troubleshooting` shows "Troubleshoot..." and keeps the raw listing for it. With
    // `askToTrust` (where the user edits the destination), a listing refused for the server's
    // certificate shows it and asks whether to trust it; Yes keeps its fingerprint in the
    // caller's record, whatever DoModal returns, and lists again.
    CFTPEngineResLibDlgBrowseFolder(FTPSettings& destination, bool troubleshooting, bool askToTrust = false);
    ~CFTPEngineResLibDlgBrowseFolder() override;

private:
    // What a list entry stands for (its item parameter).
    enum EntryKind : LPARAM { kFolder = 0, kNewFolder = 1, kParent = 2 };

    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnNotify(const NMHDR& header) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void StartListing();
    void ShowWaiting();
    void OnListFinished(WPARAM wParam, LPARAM lParam);
    // After a failed listing: true when the user chose to trust the certificate it refused.
    bool TrustRefusedCertificate(const CTaskResult& result);
    void OnWaitingTick();
    void FillList(const struct DirectoryContent& content);
    void OpenEntry(int index);
    void AddNewFolder();
    bool OnEndLabelEdit(const NMLVDISPINFOW& info);
    // Creates or renames on the server (a blocking call), the list and its buttons inert meanwhile.
    CTaskResult CreateOrRename(LPARAM kind, int index, const std::wstring& text);
    void SetStartingFolder(std::wstring folder);
    void ShowAddress();

    HWND List() const { return Item(5000); }
    int AddEntry(int index, const std::wstring& text, int image, LPARAM kind);
    std::wstring EntryText(int index, std::size_t capacity) const;
    LPARAM EntryKindOf(int index) const;
    int SelectedEntry() const;
    // A listing or a create or rename is under way: nothing may act on the entries.
    bool Inert() const { return m_busy || m_blockingCall; }

    FTPSettings* m_destination;
    std::wstring m_currentPath;
    CFTPEngine m_engine;
    bool m_busy = false;          // from the start of a listing to its result
    bool m_blockingCall = false;  // a create or rename waits for its result
    bool m_troubleshooting;
    bool m_askToTrust;
    std::wstring m_rawListing;
};
