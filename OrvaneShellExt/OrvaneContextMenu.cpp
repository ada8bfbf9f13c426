#include "OrvaneShellExt/OrvaneContextMenu.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "OrvaneShellExt/HandOffWorker.h"
#include "store/DestinationStore.h"

namespace {

// The working state of one QueryContextMenu call.
struct MenuBuildContext {
    HMENU menu;
    UINT insertPosition;
    UINT firstCommand;
    UINT lastCommand;
    UINT nextCommand;
    CommandMap commands;

    // Inserts a string item; only a successful insertion takes a command identifier. Items past
    // idCmdLast are left out: those identifiers belong to other handlers of the same menu.
    void AddItem(HMENU into, UINT position, const std::wstring& text, MenuCommand command) {
        if (nextCommand > lastCommand) return;
        if (!::InsertMenuW(into, position, MF_BYPOSITION | MF_STRING, nextCommand, text.c_str())) return;
        commands.emplace(nextCommand - firstCommand, std::move(command));
        ++nextCommand;
    }
};

struct StorageMedium {
    STGMEDIUM medium{};
    ~StorageMedium() { ::ReleaseStgMedium(&medium); }
};

}  // namespace

COrvaneContextMenu::COrvaneContextMenu(std::wstring uploadTo, std::wstring helpText)
    : m_uploadTo(std::move(uploadTo)), m_helpText(std::move(helpText)) {}

HRESULT COrvaneContextMenu::ReadSelection(IDataObject* dataObject) {
    if (!dataObject) return E_INVALIDARG;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    StorageMedium storage;
    const HRESULT result = dataObject->GetData(&format, &storage.medium);
    if (FAILED(result)) {
        storage.medium = {};
        return E_INVALIDARG;
    }
    const auto drop = static_cast<HDROP>(storage.medium.hGlobal);
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    m_selectedPaths.clear();
    for (UINT index = 0; index < count; ++index) {
        // Each path as long as the system says it is: a fixed buffer would cut a long one.
        const UINT length = ::DragQueryFileW(drop, index, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        path.resize(::DragQueryFileW(drop, index, path.data(), length + 1));
        m_selectedPaths.push_back(std::move(path));
    }
    return result;
}

unsigned COrvaneContextMenu::BuildMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast) {
    MenuBuildContext context{menu, indexMenu, idCmdFirst, idCmdLast, idCmdFirst, {}};
    const DestinationStore store(Passwords::Skip);  // the file manager never holds a clear password
    if (const std::int32_t number = store.GetDefaultDestination(); number != 0) {
        const FTPDestination destination = store.GetDestination(number);
        context.AddItem(menu, context.insertPosition++, m_uploadTo + L" " + destination.displayName,
                        {number, m_helpText});
    }
    HMENU popup = nullptr;
    for (const FTPDestination& destination : store.LoadAllDestinations()) {
        if (!popup) {
            popup = ::CreatePopupMenu();
            if (!popup) break;
            if (!::InsertMenuW(menu, context.insertPosition++, MF_BYPOSITION | MF_POPUP,
                               reinterpret_cast<UINT_PTR>(popup), m_uploadTo.c_str())) {
                ::DestroyMenu(popup);  // not attached, so nobody else would free it
                break;
            }
        }
        context.AddItem(popup, static_cast<UINT>(-1), destination.displayName, {destination.number, m_helpText});
    }
    m_commandMap = std::move(context.commands);
    return static_cast<unsigned>(m_commandMap.size());
}

bool COrvaneContextMenu::RunCommand(unsigned offset, HWND owner) const {
    const auto command = m_commandMap.find(offset);
    if (command == m_commandMap.end() || m_selectedPaths.empty()) return false;
    auto request = std::make_unique<HandOffRequest>();
    request->number = command->second.destination;
    request->paths = m_selectedPaths;
    request->owner = owner;
    return StartHandOffWorker(std::move(request));
}

void COrvaneContextMenu::CopyHelpText(unsigned offset, bool wide, void* buffer, UINT size) const {
    const auto command = m_commandMap.find(offset);
    if (command == m_commandMap.end() || !buffer || size == 0) return;
    const std::wstring& text = command->second.helpText;
    if (wide) {
        const std::size_t units = std::min<std::size_t>(text.size(), size - 1);
        auto* out = static_cast<wchar_t*>(buffer);
        std::copy_n(text.begin(), units, out);
        out[units] = L'\0';
        return;
    }
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                            nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), ansi.data(), bytes, nullptr,
                          nullptr);
    const std::size_t count = std::min<std::size_t>(ansi.size(), size - 1);
    auto* out = static_cast<char*>(buffer);
    std::copy_n(ansi.begin(), count, out);
    out[count] = '\0';
}
