#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <atomic>
#include <chrono>

#include "platform/win32/Unique.h"

namespace testsupport {

namespace {

using UniqueHandle = platform::win32::Unique<HANDLE, platform::win32::InvalidIsNull, &::CloseHandle>;
using UniqueFile = platform::win32::UniqueFile;

using Clock = std::chrono::steady_clock;

DWORD RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<platform::Millis>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(left);
}

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

// This process's environment with `extra` added (later entries win), as a CreateProcessW block.
std::wstring EnvironmentBlock(const ChildProcess::Environment& extra) {
    std::wstring block;
    wchar_t* own = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
        std::wstring text(entry);
        bool replaced = false;
        for (const auto& [name, value] : extra)
            if (_wcsnicmp(text.c_str(), (name + L"=").c_str(), name.size() + 1) == 0) replaced = true;
        if (!replaced) block.append(text).push_back(L'\0');
    }
    ::FreeEnvironmentStringsW(own);
    for (const auto& [name, value] : extra) block.append(name + L"=" + value).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

}  // namespace

struct ChildProcess::Impl {
    UniqueHandle process;
    UniqueHandle input;   // our end of its standard input
    UniqueFile output;    // our end of its standard output and error: an overlapped pipe
    UniqueHandle readDone{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::string pending;
    bool ended = false;

    // Reads what is there into `pending`; false at the end of the output or after `deadline`.
    bool Fill(Clock::time_point deadline) {
        if (ended) return false;
        char chunk[4096];
        OVERLAPPED overlapped{};
        overlapped.hEvent = readDone.Get();
        ::ResetEvent(readDone.Get());
        DWORD n = 0;
        if (!::ReadFile(output.Get(), chunk, sizeof chunk, &n, &overlapped)) {
            if (::GetLastError() != ERROR_IO_PENDING) return End();
            if (::WaitForSingleObject(readDone.Get(), RemainingMs(deadline)) != WAIT_OBJECT_0) {
                ::CancelIo(output.Get());
                ::GetOverlappedResult(output.Get(), &overlapped, &n, TRUE);  // the buffer stays ours
                pending.append(chunk, n);
                return false;
            }
            if (!::GetOverlappedResult(output.Get(), &overlapped, &n, FALSE)) return End();
        }
        if (n == 0) return End();
        pending.append(chunk, n);
        return true;
    }

    bool End() {
        ended = true;
        return false;
    }
};

ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const Environment& environment)
    : m_impl(std::make_unique<Impl>()) {
    static std::atomic<unsigned> counter{0};
    const std::wstring pipeName = L"\\\\.\\pipe\\orvane-test-" + std::to_wstring(::GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(counter++);
    m_impl->output.Reset(::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                            PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    if (!m_impl->output) throw static_cast<int>(::GetLastError());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueFile childOutput(::CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, &inherit,
                                                  OPEN_EXISTING, 0, nullptr));
    if (!childOutput) throw static_cast<int>(::GetLastError());
    HANDLE childInputRaw = nullptr, inputRaw = nullptr;
    if (!::CreatePipe(&childInputRaw, &inputRaw, &inherit, 0)) throw static_cast<int>(::GetLastError());
    UniqueHandle childInput(childInputRaw);
    m_impl->input.Reset(inputRaw);
    ::SetHandleInformation(inputRaw, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = Quote(program);
    for (const std::wstring& argument : arguments) commandLine += L" " + Quote(argument);
    std::wstring block = EnvironmentBlock(environment);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.Get();
    startup.hStdOutput = childOutput.Get();
    startup.hStdError = childOutput.Get();
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), nullptr,
                          &startup, &info))
        throw static_cast<int>(::GetLastError());
    m_impl->process.Reset(info.hProcess);
    ::CloseHandle(info.hThread);
}

ChildProcess::~ChildProcess() {
    CloseInput();
    if (!WaitForExit(platform::Millis(3000)) && m_impl->process)
        ::TerminateProcess(m_impl->process.Get(), 1);
}

std::optional<std::string> ChildProcess::ReadLine(platform::Millis limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        const std::size_t lf = m_impl->pending.find('\n');
        if (lf != std::string::npos) {
            std::string line = m_impl->pending.substr(0, lf);
            m_impl->pending.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            m_output += line + "\n";
            return line;
        }
        if (!m_impl->Fill(deadline)) return std::nullopt;
    }
}

std::optional<int> ChildProcess::WaitForExit(platform::Millis limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (m_impl->Fill(deadline)) {
    }
    m_output += m_impl->pending;
    m_impl->pending.clear();
    if (!m_impl->ended) return std::nullopt;
    // Linux programs that Wine starts have no process object to wait on; their output ending
    // is their end.
    DWORD code = 0;
    if (!m_impl->process ||
        ::WaitForSingleObject(m_impl->process.Get(), RemainingMs(deadline)) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(m_impl->process.Get(), &code))
        return m_impl->process ? std::nullopt : std::optional<int>(0);
    return static_cast<int>(code);
}

void ChildProcess::CloseInput() { m_impl->input.Reset(); }

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
