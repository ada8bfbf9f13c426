#include "Orvane/engine/dialogs/FTPEngineResLibDlgBrowseFolder.h"

#include <memory>

#include "Orvane/engine/dialogs/CertificateQuestion.h"
#include "Orvane/engine/dialogs/DialogTexts.h"
#include "Orvane/engine/dialogs/DlgTroubleshootList.h"
#include "Orvane/engine/dialogs/FTPEngineResLibDlgTaskResult.h"
#include "Orvane/engine/dialogs/PendingTaskMessages.h"
#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "Orvane/resources/EngineResourceIds.h"
#include "platform/Strings.h"

namespace {

constexpr UINT_PTR kWaitingTimer = 1002;
constexpr platform::Millis kFolderTaskTimeout{30000};
enum Image { kFolderImage = 0, kParentImage = 1, kWaitingImage = 2 };

HIMAGELIST MakeImageList() {
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    HIMAGELIST images = ::ImageList_Create(cx, cy, ILC_COLOR8 | ILC_MASK, 3, 0);
    for (int id : {IDI_FTP_FOLDER, IDI_FTP_PARENT_FOLDER, IDI_FTP_WAITING}) {
        auto icon = static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, 0));
        ::ImageList_AddIcon(images, icon);
        ::DestroyIcon(icon);
    }
    return images;
}

}  // namespace

CFTPEngineResLibDlgBrowseFolder::CFTPEngineResLibDlgBrowseFolder(FTPSettings& destination, bool troubleshooting,
                                                                 bool askToTrust)
    : CDialog(IDD_FTP_BROWSE_FOLDER),
      m_destination(&destination),
      m_troubleshooting(troubleshooting),
      m_askToTrust(askToTrust) {}

CFTPEngineResLibDlgBrowseFolder::~CFTPEngineResLibDlgBrowseFolder() = default;

INT_PTR CFTPEngineResLibDlgBrowseFolder::OnInitDialog() {
    CentreOnOwner();
    ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT);
    // The list view frees its image list when it is destroyed (it is not LVS_SHAREIMAGELISTS).
    ListView_SetImageList(List(), MakeImageList(), LVSIL_SMALL);
    std::wstring title = platform::LoadText(EngineStrings::kFolders);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 300;
    column.pszText = title.data();
    ListView_InsertColumn(List(), 0, &column);
    ::SetFocus(List());
    if (m_troubleshooting) ShowItem(IDC_BROWSE_TROUBLESHOOT, true);
    StartListing();
    return FALSE;  // the focus is set
}

void CFTPEngineResLibDlgBrowseFolder::StartListing() {
    m_engine.GetDirectoryContent(*m_destination, platform::WindowRef{reinterpret_cast<std::intptr_t>(Handle())});
    // Busy at once, not when the task says it has started: the starting folder names the new
    // folder from now on, and the entries shown are the old one's.
    ShowWaiting();
}

bool CFTPEngineResLibDlgBrowseFolder::OnCommand(int id, int) {
    switch (id) {
    case IDOK:
    case IDC_BROWSE_OK:
        // Enter in the list opens the entry instead of closing the dialog.
        if (::GetFocus() == List()) {
            const int focused = ListView_GetNextItem(List(), -1, LVNI_FOCUSED | LVNI_SELECTED);
            if (focused >= 0) {
                if (!Inert()) OpenEntry(focused);
                return true;
            }
        }
        if (id == IDC_BROWSE_OK && !Inert() && ::IsWindowEnabled(Item(IDC_BROWSE_OK))) End(1);
        return true;
    case IDCANCEL:
        End(2);
        return true;
    case IDC_BROWSE_NEW_FOLDER:
        AddNewFolder();
        return true;
    case IDC_BROWSE_TROUBLESHOOT: {
        CDlgTroubleshootList dialog(m_rawListing);
        dialog.DoModal(ActiveOwner());
        return true;
    }
    default:
        return false;
    }
}

std::optional<INT_PTR> CFTPEngineResLibDlgBrowseFolder::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_BROWSE_LIST) return std::nullopt;
    switch (header.code) {
    case LVN_ITEMACTIVATE:
        if (!Inert()) OpenEntry(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
        return TRUE;
    case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
        if (key == VK_F2) {
            if (const int selected = SelectedEntry(); selected >= 0 && !Inert()) ListView_EditLabel(List(), selected);
        } else if (key == 'N' && ::GetKeyState(VK_CONTROL) < 0) {
            AddNewFolder();
        }
        return TRUE;
    }
    case LVN_BEGINLABELEDITW: {
        const auto& info = reinterpret_cast<const NMLVDISPINFOW&>(header);
        return NotifyResult(Inert() || info.item.lParam == kParent);  // TRUE refuses the edit
    }
    case LVN_ENDLABELEDITW:
        return NotifyResult(OnEndLabelEdit(reinterpret_cast<const NMLVDISPINFOW&>(header)));
    default:
        return std::nullopt;
    }
}

std::optional<INT_PTR> CFTPEngineResLibDlgBrowseFolder::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LIST_STARTED:
        ShowWaiting();  // StartListing has done it already
        return TRUE;
    case WM_LIST_FINISHED:
        OnListFinished(wParam, lParam);
        return TRUE;
    case WM_TIMER:
        if (wParam != kWaitingTimer || !m_busy) return std::nullopt;
        OnWaitingTick();
        return TRUE;
    case WM_DESTROY:
        DiscardPendingTaskMessages(Handle());
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void CFTPEngineResLibDlgBrowseFolder::ShowWaiting() {
    if (m_busy) return;
    ListView_DeleteAllItems(List());
    AddEntry(0, platform::LoadText(EngineStrings::kGettingFolders), kWaitingImage, kFolder);
    EnableItem(IDC_BROWSE_OK, false);
    EnableItem(IDC_BROWSE_NEW_FOLDER, false);
    ::SetTimer(Handle(), kWaitingTimer, 1000, nullptr);
    m_busy = true;
}

void CFTPEngineResLibDlgBrowseFolder::OnWaitingTick() {
    const std::wstring next = NextWaitingText(EntryText(0, 256), platform::LoadText(EngineStrings::kGettingFolders));
    ListView_SetItemText(List(), 0, 0, const_cast<wchar_t*>(next.c_str()));
}

void CFTPEngineResLibDlgBrowseFolder::OnListFinished(WPARAM wParam, LPARAM lParam) {
    const auto result = platform::AdoptPosted<CTaskResult>(wParam);
    const auto content = platform::AdoptPosted<DirectoryContent>(lParam);
    ::KillTimer(Handle(), kWaitingTimer);
    m_busy = false;
    if (!content) {
        SetStartingFolder(m_currentPath);
        if (result && TrustRefusedCertificate(*result)) {
            StartListing();
            return;
        }
        if (result) {
            CFTPEngineResLibDlgTaskResult dialog(*result);
            dialog.DoModal(ActiveOwner());
        }
        ListView_DeleteAllItems(List());
        EnableItem(IDC_BROWSE_OK, false);
    } else {
        SetStartingFolder(content->folder);
        m_currentPath = NormalizeBrowsePath(m_destination->directory);
        SetStartingFolder(m_currentPath);
        if (m_troubleshooting) m_rawListing = content->listing;
        FillList(*content);
        EnableItem(IDC_BROWSE_OK, true);
        EnableItem(IDC_BROWSE_NEW_FOLDER, true);
    }
    ShowAddress();
}

bool CFTPEngineResLibDlgBrowseFolder::TrustRefusedCertificate(const CTaskResult& result) {
    if (!m_askToTrust) return false;
    const auto trusted = AskToTrustCertificate(ActiveOwner(), result);
    if (!trusted) return false;
    m_destination->trustedCertificate = *trusted;
    return true;
}

void CFTPEngineResLibDlgBrowseFolder::FillList(const DirectoryContent& content) {
    ListView_DeleteAllItems(List());
    int index = 0;
    if (!m_destination->directory.empty())
        AddEntry(index++, platform::LoadText(EngineStrings::kParentFolder), kParentImage, kParent);
    for (const DirectoryEntry& entry : content.entries)
        if (entry.isDirectory) AddEntry(index++, entry.name, kFolderImage, kFolder);
    ListView_SetItemState(List(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(List(), 0, FALSE);
}

void CFTPEngineResLibDlgBrowseFolder::OpenEntry(int index) {
    if (index < 0) return;
    const std::wstring name = EntryText(index, 261);
    SetStartingFolder(m_destination->directory.empty() ? name : m_destination->directory + L"/" + name);
    StartListing();
}

void CFTPEngineResLibDlgBrowseFolder::AddNewFolder() {
    if (Inert()) return;
    const int index = AddEntry(ListView_GetItemCount(List()), L"", kFolderImage, kNewFolder);
    ListView_SetItemState(List(), index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ::SetFocus(List());
    ListView_EditLabel(List(), index);
}

bool CFTPEngineResLibDlgBrowseFolder::OnEndLabelEdit(const NMLVDISPINFOW& info) {
    const int index = info.item.iItem;
    const LPARAM kind = EntryKindOf(index);
    // An edit that began before a listing or a blocking call has nothing to act on now.
    if (Inert() || !info.item.pszText || info.item.pszText[0] == L'\0') {
        if (kind == kNewFolder) ListView_DeleteItem(List(), index);
        return false;
    }
    const CTaskResult result = CreateOrRename(kind, index, info.item.pszText);
    if (!result.Succeeded()) {
        CFTPEngineResLibDlgTaskResult dialog(result);
        dialog.DoModal(ActiveOwner());
        return false;
    }
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.lParam = kFolder;
    ListView_SetItem(List(), &item);
    return true;
}

CTaskResult CFTPEngineResLibDlgBrowseFolder::CreateOrRename(LPARAM kind, int index, const std::wstring& text) {
    m_blockingCall = true;
    EnableItem(IDC_BROWSE_OK, false);
    EnableItem(IDC_BROWSE_NEW_FOLDER, false);
    const FTPSettings here = *m_destination;
    CTaskResult result = kind == kNewFolder
                             ? m_engine.CreateDirectoryAndWait(here, text, kFolderTaskTimeout)
                             : m_engine.RenameDirectoryAndWait(here, EntryText(index, 256), text, kFolderTaskTimeout);
    m_blockingCall = false;
    EnableItem(IDC_BROWSE_OK, true);  // an entry could be edited, so the folder was listed
    EnableItem(IDC_BROWSE_NEW_FOLDER, true);
    return result;
}

void CFTPEngineResLibDlgBrowseFolder::SetStartingFolder(std::wstring folder) {
    m_destination->directory = WithoutTrailingSlashes(std::move(folder));
}

void CFTPEngineResLibDlgBrowseFolder::ShowAddress() {
    SetItemText(IDC_BROWSE_ADDRESS, FolderAddress(*m_destination));
}

int CFTPEngineResLibDlgBrowseFolder::AddEntry(int index, const std::wstring& text, int image, LPARAM kind) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.iImage = image;
    item.lParam = kind;
    return ListView_InsertItem(List(), &item);
}

std::wstring CFTPEngineResLibDlgBrowseFolder::EntryText(int index, std::size_t capacity) const {
    std::wstring text(capacity, L'\0');
    ListView_GetItemText(List(), index, 0, text.data(), static_cast<int>(capacity));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

LPARAM CFTPEngineResLibDlgBrowseFolder::EntryKindOf(int index) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    ListView_GetItem(List(), &item);
    return item.lParam;
}

int CFTPEngineResLibDlgBrowseFolder::SelectedEntry() const {
    return ListView_GetNextItem(List(), -1, LVNI_SELECTED);
}
