// Stands in for the uploader on the start-and-probe path: opens its hand-off window only after
// two seconds, records the first hand-off it receives (which program it is, and how long after
// it went idle in its message loop it came) under HKCU\Software\OrvaneTests\LateUploader, and
// ends. It gives up after twenty seconds.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "platform/RegistryValues.h"
#include "store/HandOffKey.h"

int wmain(int argc, wchar_t** argv) {
    const std::wstring title = argc > 1 ? argv[argc - 1] : L"";
    ::Sleep(2000);
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::chrono::steady_clock::time_point idle;
    CExtensionTargetWindow window(
        [&](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
            if (message != WM_COPYDATA) return std::nullopt;
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            platform::GuidBytes guid{};
            if (data->cbData == guid.size()) std::copy_n(static_cast<const std::uint8_t*>(data->lpData), 16, guid.data());
            if (auto key = platform::SystemRegistry().Create(platform::Hive::CurrentUser,
                                                             L"Software\\OrvaneTests\\LateUploader")) {
                platform::WriteString(*key, L"Guid", GuidText(guid));
                platform::WriteString(*key, L"Program", program);
                platform::WriteString(*key, L"Number", std::to_wstring(static_cast<long long>(wParam)));
                wchar_t waited[32];
                std::swprintf(waited, 32, L"%.1f",
                              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - idle).count());
                platform::WriteString(*key, L"IdleToHandOff", waited);
            }
            ::PostQuitMessage(0);
            return TRUE;
        },
        title);
    ::SetTimer(nullptr, 0, 20000, nullptr);
    idle = std::chrono::steady_clock::now();  // the loop below waits for input from here on
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && !message.hwnd) break;
        ::DispatchMessageW(&message);
    }
    return 0;
}
