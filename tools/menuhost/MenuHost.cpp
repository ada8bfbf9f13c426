// Plays the file manager for the demo and the end-to-end test: asks COM for the registered
// context-menu handler, gives it the shell's data object for the selected items (all in one
// folder), builds its menu, and invokes the item with the given text. Like a file manager, it
// stays until the handler's hand-off is over (the handler runs it on a thread of its own, which
// would die with the process), and it prints when it invoked the item, in seconds since 1970.
//
// usage: MenuHost.exe "<menu item text>" <path>...
#include <cstdio>
#include <string>
#include <vector>

#include "tools/menuhost/ShellSelection.h"

namespace {

const CLSID kHandler = {0x3C1D52A0, 0x7B44, 0x4E1F, {0x9A, 0x06, 0x2F, 0x5D, 0x8E, 0x61, 0xB7, 0xC3}};

std::wstring ParentOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

std::vector<std::wstring> NamesOf(const std::vector<std::wstring>& paths) {
    std::vector<std::wstring> names;
    for (const std::wstring& path : paths) names.push_back(path.substr(path.rfind(L'\\') + 1));
    return names;
}

// The command identifier of the item with `text`, in the menu or its submenus; 0 if none.
UINT FindItem(HMENU menu, const std::wstring& text) {
    for (int position = 0; position < ::GetMenuItemCount(menu); ++position) {
        if (HMENU sub = ::GetSubMenu(menu, position)) {
            if (UINT id = FindItem(sub, text)) return id;
            continue;
        }
        wchar_t caption[256] = {};
        ::GetMenuStringW(menu, position, caption, 256, MF_BYPOSITION);
        if (text == caption) return ::GetMenuItemID(menu, position);
    }
    return 0;
}

// Seconds since 1970 on the system clock, which Linux programs under Wine share.
double UnixSeconds() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;  // 100 ns units since 1601
}

// Waits, dispatching messages, until the handler's library holds no more objects or threads.
// A hand-off may wait for the uploader's folder confirmation, so the bound is generous.
bool WaitForHandler() {
    HMODULE library = ::GetModuleHandleW(L"OrvaneShellExt.dll");
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload = library ? reinterpret_cast<CanUnloadNow>(
                                         reinterpret_cast<void*>(::GetProcAddress(library, "DllCanUnloadNow")))
                                   : nullptr;
    if (!canUnload) return true;
    const ULONGLONG end = ::GetTickCount64() + 600000;
    while (canUnload() != S_OK) {
        if (::GetTickCount64() > end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: MenuHost.exe \"<menu item text>\" <path>...\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::vector<std::wstring> paths(argv + 2, argv + argc);
    int code = 1;
    {
        Com<IShellExtInit> init;
        Com<IContextMenu> menu;
        Com<IDataObject> data;
        if (FAILED(::CoCreateInstance(kHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.Put()))) {
            std::printf("menu host: the context-menu handler is not registered\n");
        } else if (FAILED(ShellDataObject(ParentOf(paths.front()), NamesOf(paths), data)) ||
                   FAILED(init->Initialize(nullptr, data.Get(), nullptr)) ||
                   FAILED(init->QueryInterface(IID_IContextMenu, menu.Put()))) {
            std::printf("menu host: the handler did not take the selection\n");
        } else {
            constexpr UINT first = 1;
            HMENU popup = ::CreatePopupMenu();
            menu->QueryContextMenu(popup, 0, first, 0x7FFF, CMF_NORMAL);
            if (const UINT id = FindItem(popup, argv[1])) {
                CMINVOKECOMMANDINFO invocation{};
                invocation.cbSize = sizeof invocation;
                invocation.lpVerb = MAKEINTRESOURCEA(id - first);
                const double invoked = UnixSeconds();
                std::printf("menu host: choosing \"%ls\" for %zu item(s) at %.3f\n", argv[1], paths.size(), invoked);
                std::fflush(stdout);
                code = SUCCEEDED(menu->InvokeCommand(&invocation)) ? 0 : 1;
                std::printf("menu host: InvokeCommand returned after %.1f ms\n", (UnixSeconds() - invoked) * 1000);
            } else {
                std::printf("menu host: no item \"%ls\" in the menu\n", argv[1]);
            }
            ::DestroyMenu(popup);
        }
    }
    if (!WaitForHandler()) {
        std::printf("menu host: the handler was still busy after 10 minutes\n");
        code = 1;
    }
    ::CoUninitialize();
    return code;
}
