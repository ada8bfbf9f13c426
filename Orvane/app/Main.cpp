// The program's entry: COM and the common controls, the record of where the program lies and
// the shell extension's registration (both only when started without arguments), then the main
// dialog and the thread's message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "Orvane/app/MainDlg.h"
#include "OrvaneShellExt/ExtensionRegistration.h"
#include "platform/Registry.h"
#include "store/ApplicationSettings.h"

namespace {

// The program's own file, whatever the command line calls it: started from a console as
// "Orvane", the command line's first element is relative, and the extension could not start the
// program from it. Empty when the system cannot say.
std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);  // cut to fit: ask again with more room
    }
}

// The extension writes its own entries, machine-wide or, where it may not, for the user. It is
// registered here when neither place names a library that exists, so a registration that only a
// standard user's classes hold is not written again at every start.
bool RegisterShellExtension() {
    if (IsExtensionRegistered(platform::SystemRegistry())) return true;
    HMODULE library = ::LoadLibraryW(L"OrvaneShellExt.dll");
    if (!library) {
        ::MessageBoxW(nullptr, L"Unable to load library OrvaneShellExt.dll", L"Orvane.exe", MB_OK | MB_ICONERROR);
        return false;
    }
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    if (auto registerServer = reinterpret_cast<RegisterServer>(
            reinterpret_cast<void*>(::GetProcAddress(library, "DllRegisterServer"))))
        registerServer();  // a failure is not reported: the program works without its menu
    ::FreeLibrary(library);
    return true;
}

int Run(std::optional<std::wstring> argument, int showState) {
    CMainDlg dialog(std::move(argument));
    if (!dialog.Create(nullptr)) return 0;
    if (dialog.IsShownAtStart()) ::ShowWindow(dialog.Handle(), showState);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (dialog.Handle() && ::IsDialogMessageW(dialog.Handle(), &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showState) {
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    int count = 0;
    LPWSTR* elements = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    int exitCode = 0;
    if (elements && count == 1) {
        if (const std::wstring program = ProgramPath(); !program.empty()) WriteUploaderPath(program);
        if (RegisterShellExtension()) exitCode = Run(std::nullopt, showState);
    } else if (elements && count > 1) {
        exitCode = Run(std::wstring(elements[1]), showState);  // further elements are ignored
    }
    if (elements) ::LocalFree(elements);
    ::CoUninitialize();
    return exitCode;
}
