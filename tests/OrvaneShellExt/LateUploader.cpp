// The uploader on the start-and-probe path: opens its window after two seconds, takes the first
// hand-off, records its own path under HKCU\Software\OrvaneTests\LateUploader; gives up after 20 s.
#include <windows.h>

#include <string>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "platform/RegistryValues.h"

int wmain(int argc, wchar_t** argv) {
    ::Sleep(2000);
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    CExtensionTargetWindow window(
        [&](UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message != WM_COPYDATA) return std::nullopt;
            if (auto key = platform::SystemRegistry().Create(platform::Hive::CurrentUser,
                                                             L"Software\\OrvaneTests\\LateUploader"))
                platform::WriteString(*key, L"Program", program);
            ::PostQuitMessage(0);
            return TRUE;
        },
        argc > 1 ? argv[argc - 1] : L"");
    ::SetTimer(nullptr, 0, 20000, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && !message.hwnd) break;
        ::DispatchMessageW(&message);
    }
    return 0;
}
