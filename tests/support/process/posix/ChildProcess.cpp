#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

extern char** environ;

namespace testsupport {

namespace {

// Paths and arguments of the tests are ASCII; Windows-1252 keeps any other byte as it is.
std::string Narrow(const std::wstring& text) { return platform::ToAnsi(text); }

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<platform::Millis>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace

struct ChildProcess::Impl {
    pid_t pid = -1;
    int input = -1;   // our end of its standard input
    int output = -1;  // our end of its standard output and error
    std::string pending;
    bool ended = false;
    int exitCode = -1;

    // Reads what is there into `pending`; false at the end of the output or after `deadline`.
    bool Fill(Clock::time_point deadline) {
        if (output == -1) return false;
        pollfd fd{output, POLLIN, 0};
        int ready;
        do ready = ::poll(&fd, 1, RemainingMs(deadline));
        while (ready < 0 && errno == EINTR);
        if (ready <= 0) return false;
        char chunk[4096];
        ssize_t n;
        do n = ::read(output, chunk, sizeof chunk);
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            ::close(output);
            output = -1;
            return false;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    bool Reap(bool wait) {
        if (ended) return true;
        int status = 0;
        pid_t done;
        do done = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
        while (done < 0 && errno == EINTR);
        if (done != pid) return false;
        ended = true;
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
};

ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const Environment& environment)
    : m_impl(std::make_unique<Impl>()) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) throw errno;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        throw errno;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDERR_FILENO);

    std::vector<std::string> argStrings{Narrow(program)};
    for (const std::wstring& argument : arguments) argStrings.push_back(Narrow(argument));
    std::vector<char*> argv;
    for (std::string& argument : argStrings) argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStrings;
    for (char** entry = environ; *entry; ++entry) envStrings.emplace_back(*entry);
    for (const auto& [name, value] : environment) envStrings.push_back(Narrow(name) + "=" + Narrow(value));
    std::vector<char*> envp;
    for (std::string& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const int failed = ::posix_spawn(&m_impl->pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (failed != 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        throw failed == ENOENT ? platform::kErrorFileNotFound : failed;
    }
    m_impl->input = toChild[1];
    m_impl->output = fromChild[0];
}

ChildProcess::~ChildProcess() {
    CloseInput();
    if (!WaitForExit(platform::Millis(3000))) {
        ::kill(m_impl->pid, SIGKILL);
        m_impl->Reap(true);
    }
    if (m_impl->output != -1) ::close(m_impl->output);
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
    if (m_impl->output != -1) return std::nullopt;  // still writing when time ran out
    // Its output has ended; the process itself ends right after.
    while (!m_impl->Reap(false)) {
        if (RemainingMs(deadline) == 0) return std::nullopt;
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 5);
    }
    return m_impl->exitCode;
}

void ChildProcess::CloseInput() {
    if (m_impl->input != -1) ::close(m_impl->input);
    m_impl->input = -1;
}

std::wstring CurrentProgram() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    return platform::FromAnsi(std::string_view(path, static_cast<std::size_t>(n)));
}

std::wstring EnvironmentVariable(const std::wstring& name) {
    const char* value = std::getenv(Narrow(name).c_str());
    return value ? platform::FromAnsi(value) : std::wstring();
}

}  // namespace testsupport
