// Stands in for the uploader on the start-and-probe path: opens its hand-off window only after
// two seconds, records the first hand-off it receives and which program it is under
// HKCU\Software\OrvaneTests\LateUploader, and ends. It gives up after twenty seconds.
#include <windows.h>

#include <algorithm>
#include <string>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "platform/RegistryValues.h"
#include "store/HandOffKey.h"

int wmain(int argc, wchar_t** argv) {
    ::Sleep(2000);
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
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
            }
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
