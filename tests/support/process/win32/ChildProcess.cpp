#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/Unique.h"

namespace testsupport {

namespace {

using platform::win32::UniqueHandle;

// CommandLineToArgvW's rules: quotes around an argument with spaces, backslashes doubled
// before a quote.
std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// `extra`, then this process's environment, as a CreateProcessW block: a variable's first
// entry is the one that counts.
std::wstring EnvironmentBlock(const ChildProcess::Environment& extra) {
    std::wstring block;
    for (const auto& [name, value] : extra) block.append(name + L"=" + value).push_back(L'\0');
    wchar_t* own = ::GetEnvironmentStringsW();
    const wchar_t* end = own;
    while (*end) end += wcslen(end) + 1;
    block.append(static_cast<const wchar_t*>(own), end + 1);  // with the empty entry that ends it
    ::FreeEnvironmentStringsW(own);
    return block;
}

}  // namespace

struct ChildProcess::Impl {
    UniqueHandle process;
    UniqueHandle input;   // our end of its standard input
    UniqueHandle output;  // our end of its standard output and error
    bool ended = false;   // its output has ended
};

ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const Environment& environment)
    : m_impl(std::make_unique<Impl>()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childInput = nullptr, childOutput = nullptr, input = nullptr, output = nullptr;
    if (!::CreatePipe(&childInput, &input, &inherit, 0)) throw static_cast<int>(::GetLastError());
    const UniqueHandle childInputOwner(childInput);
    m_impl->input.Reset(input);
    if (!::CreatePipe(&output, &childOutput, &inherit, 0)) throw static_cast<int>(::GetLastError());
    const UniqueHandle childOutputOwner(childOutput);
    m_impl->output.Reset(output);
    ::SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = Quote(program);
    for (const std::wstring& argument : arguments) commandLine += L" " + Quote(argument);
    std::wstring block = EnvironmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = childOutput;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), nullptr, &startup, &info))
        throw static_cast<int>(::GetLastError());
    m_impl->process.Reset(info.hProcess);
    ::CloseHandle(info.hThread);
}

ChildProcess::~ChildProcess() {
    m_impl->input.Reset();  // servers that watch their input end then
    if (!WaitForExit(platform::Millis(3000)) && m_impl->process) ::TerminateProcess(m_impl->process.Get(), 1);
}

// Polls the pipe: a read of an anonymous pipe cannot be given a time limit.
bool ChildProcess::Fill(Clock::time_point deadline) {
    for (DWORD available = 0; !m_impl->ended; ::Sleep(5)) {
        m_impl->ended = !::PeekNamedPipe(m_impl->output.Get(), nullptr, 0, nullptr, &available, nullptr);
        char chunk[4096];
        DWORD n = 0;
        if (available > 0 && ::ReadFile(m_impl->output.Get(), chunk, sizeof chunk, &n, nullptr) && n > 0) {
            m_output.append(chunk, n);
            return true;
        }
        if (Clock::now() >= deadline) return false;
    }
    return false;
}

std::optional<int> ChildProcess::ExitCode(Clock::time_point deadline) {
    if (!m_impl->ended) return std::nullopt;
    // Linux programs that Wine starts have no process object to wait on; their output ending
    // is their end.
    if (!m_impl->process) return 0;
    const auto left = std::chrono::ceil<platform::Millis>(deadline - Clock::now()).count();
    DWORD code = 0;
    if (::WaitForSingleObject(m_impl->process.Get(), static_cast<DWORD>(std::max<decltype(left)>(left, 0))) !=
            WAIT_OBJECT_0 ||
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
