#include "OrvaneShellExt/HandOffSelection.h"

#include "OrvaneShellExt/HandOffWriter.h"
#include "platform/win32/Unique.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"

namespace {

using platform::win32::UniqueHandle;

constexpr wchar_t kWindowClass[] = L"OrvaneWindow";
constexpr int kProbes = 7;
constexpr DWORD kProbeInterval = 1000;
// A cold start under load may take long; the wait is off the file manager's thread, and the
// probes still follow if it ends without the program ever becoming idle.
constexpr DWORD kIdleLimit = 20000;

HandOffOutcome OutcomeOf(HandOffKeyStatus status) {
    switch (status) {
    case HandOffKeyStatus::Written: return HandOffOutcome::Delivered;
    case HandOffKeyStatus::NoCommonFolder: return HandOffOutcome::NoCommonFolder;
    case HandOffKeyStatus::DriveRoot: return HandOffOutcome::DriveRoot;
    case HandOffKeyStatus::TooManyItems: return HandOffOutcome::TooManyItems;
    case HandOffKeyStatus::NotWritten: break;
    }
    return HandOffOutcome::NotRecorded;
}

// The started process, or null when CreateProcessW refused the command line.
UniqueHandle StartUploader(const std::wstring& program, const std::wstring& title) {
    std::wstring commandLine = UploaderCommandLine(program, title);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return UniqueHandle();
    UniqueHandle thread(process.hThread);
    ::AllowSetForegroundWindow(process.dwProcessId);
    return UniqueHandle(process.hProcess);
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
    DWORD process = 0;
    if (::GetWindowThreadProcessId(window, &process)) ::AllowSetForegroundWindow(process);
    platform::GuidBytes buffer = guid;
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(static_cast<LONG_PTR>(number));
    data.cbData = static_cast<DWORD>(buffer.size());
    data.lpData = buffer.data();
    return ::SendMessageW(window, WM_COPYDATA, static_cast<WPARAM>(static_cast<LONG_PTR>(number)),
                          reinterpret_cast<LPARAM>(&data));
}

HandOffResult HandOffSelection(std::int32_t number, const std::vector<std::wstring>& paths) {
    const FTPDestination destination = DestinationStore(Passwords::Skip).GetDestination(number);
    const HandOffKeyResult key = WriteHandOffKey(destination, paths);
    if (key.status != HandOffKeyStatus::Written) return {OutcomeOf(key.status), {}};
    const std::wstring title = std::to_wstring(number);
    if (DeliverHandOff(::FindWindowW(kWindowClass, title.c_str()), number, key.guid) != 0) return {};
    const auto program = ReadUploaderPath();
    if (!program) return {HandOffOutcome::NoProgramPath, {}};
    const UniqueHandle process = StartUploader(*program, title);
    if (!process) return {HandOffOutcome::CannotStart, *program};
    // Idle means its first message loop waits for input: its hand-off window exists by then.
    ::WaitForInputIdle(process.Get(), kIdleLimit);
    if (DeliverHandOff(ProbeForWindow(title), number, key.guid) == 0) return {HandOffOutcome::NoAnswer, {}};
    return {};
}
