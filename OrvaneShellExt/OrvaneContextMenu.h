#pragma once
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What one added menu command stands for.
struct MenuCommand {
    std::int32_t destination = 0;
    std::wstring helpText;
};

// Command offset (identifier minus idCmdFirst) -> its command.
using CommandMap = std::map<unsigned, MenuCommand>;

// The extension's own logic behind the COM interfaces: reading the selection, building the
// upload commands into the file manager's menu, and running the one the user picked. Each
// operation may throw std::bad_alloc; the COM layer turns that into E_FAIL.
class COrvaneContextMenu {
public:
    // `uploadTo` is the submenu caption and the default item's prefix; `helpText` is shown for
    // every item.
    COrvaneContextMenu(std::wstring uploadTo, std::wstring helpText);
    virtual ~COrvaneContextMenu() = default;

protected:
    // The CF_HDROP list of the data object; E_INVALIDARG when there is none.
    HRESULT ReadSelection(IDataObject* dataObject);
    // Adds the default destination's item and the "Upload to" submenu; returns the number of
    // command identifiers used. Reads names and numbers only, never a password.
    unsigned BuildMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast);
    // Starts handing the selection to the command's destination on a worker thread and returns
    // at once; whatever goes wrong there is told in a message box owned by `owner` while it
    // exists. False, with nothing started, for an offset that is not one of ours or when no worker
    // could be started.
    bool RunCommand(unsigned offset, HWND owner) const;
    // Copies the command's help text into `buffer` (`size` units, terminator included), as
    // UTF-16 when `wide`, else in the ANSI code page. An unknown offset writes nothing.
    void CopyHelpText(unsigned offset, bool wide, void* buffer, UINT size) const;

    const std::vector<std::wstring>& SelectedPaths() const { return m_selectedPaths; }

private:
    std::wstring m_uploadTo;
    std::wstring m_helpText;
    std::vector<std::wstring> m_selectedPaths;
    CommandMap m_commandMap;
};
