#include "tests/support/ChildProcess.h"

#include <windows.h>

#include "platform/win32/Unique.h"

namespace testsupport {

struct ChildProcess::Impl {
    platform::win32::UniqueHandle process;  // none for a Linux program that Wine starts
};

ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const Environment& environment)
    : m_impl(std::make_unique<Impl>()) {
    std::wstring commandLine = L"\"" + program + L"\"";  // no argument holds a quote or ends in a backslash
    for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
    for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), value.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        throw static_cast<int>(::GetLastError());
    m_impl->process.Reset(info.hProcess);
    ::CloseHandle(info.hThread);
}

// The Windows programs the tests start do not read their input; the Linux ones end when the
// folder they watch goes.
ChildProcess::~ChildProcess() {
    if (!WaitForExit(platform::Millis(3000)) && m_impl->process) ::TerminateProcess(m_impl->process.Get(), 1);
}

std::optional<int> ChildProcess::WaitForExit(platform::Millis limit) {
    if (!m_impl->process) return 0;
    DWORD code = 0;
    if (::WaitForSingleObject(m_impl->process.Get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(m_impl->process.Get(), &code))
        return std::nullopt;
    return static_cast<int>(code);
}

std::wstring CurrentProgram() {
    wchar_t path[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return std::wstring(path, n);
}

std::wstring EnvironmentVariable(const std::wstring& name) {
    wchar_t value[4096];
    const DWORD n = ::GetEnvironmentVariableW(name.c_str(), value, static_cast<DWORD>(std::size(value)));
    return n == 0 || n >= std::size(value) ? std::wstring() : std::wstring(value, n);
}

}  // namespace testsupport
