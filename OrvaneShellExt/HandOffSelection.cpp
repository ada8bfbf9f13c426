#include "OrvaneShellExt/HandOffSelection.h"

#include <cstring>

#include "OrvaneShellExt/HandOffWriter.h"
#include "platform/win32/Unique.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"

namespace {

constexpr wchar_t kWindowClass[] = L"OrvaneWindow";
constexpr int kProbes = 7;
constexpr DWORD kProbeInterval = 1000;

bool StartUploader(const std::wstring& title) {
    const auto program = ReadUploaderPath();
    if (!program) return false;
    std::wstring commandLine = UploaderCommandLine(*program, title);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    platform::win32::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    return true;
}

HWND ProbeForWindow(const std::wstring& title) {
    for (int probe = 1;; ++probe) {
        if (HWND window = ::FindWindowW(kWindowClass, title.c_str())) return window;
        if (probe == kProbes) return nullptr;
        ::Sleep(kProbeInterval);
    }
}

}  // namespace

std::wstring UploaderCommandLine(const std::wstring& programPath, const std::wstring& title) {
    return L"\"" + programPath + L"\" " + title;
}

LRESULT DeliverHandOff(HWND window, std::int32_t number, const platform::GuidBytes& guid) {
    if (!window) return 0;
    platform::GuidBytes buffer = guid;
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(static_cast<LONG_PTR>(number));
    data.cbData = static_cast<DWORD>(buffer.size());
    data.lpData = buffer.data();
    return ::SendMessageW(window, WM_COPYDATA, static_cast<WPARAM>(static_cast<LONG_PTR>(number)),
                          reinterpret_cast<LPARAM>(&data));
}

void HandOffSelection(std::int32_t number, const std::vector<std::wstring>& paths) {
    const FTPDestination destination = DestinationStore().GetDestination(number);
    const auto guid = WriteHandOffKey(destination, paths);
    if (!guid) return;
    const std::wstring title = std::to_wstring(number);
    if (DeliverHandOff(::FindWindowW(kWindowClass, title.c_str()), number, *guid) != 0) return;
    if (!StartUploader(title)) return;
    DeliverHandOff(ProbeForWindow(title), number, *guid);
}
