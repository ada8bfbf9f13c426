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
#include "store/ApplicationSettings.h"

namespace {

constexpr wchar_t kExtensionServerKey[] = L"CLSID\\{3C1D52A0-7B44-4E1F-9A06-2F5D8E61B7C3}\\InprocServer32";

// The extension writes its own entries; it is registered here at the first start, and again at
// every start where its key cannot be opened for writing.
bool RegisterShellExtension() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, kExtensionServerKey, 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
        ::RegCloseKey(key);
        return true;
    }
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
        WriteUploaderPath(elements[0]);
        if (RegisterShellExtension()) exitCode = Run(std::nullopt, showState);
    } else if (elements && count > 1) {
        exitCode = Run(std::wstring(elements[1]), showState);  // further elements are ignored
    }
    if (elements) ::LocalFree(elements);
    ::CoUninitialize();
    return exitCode;
}
