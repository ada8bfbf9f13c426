#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

extern char** environ;

namespace testsupport {

namespace {

// Paths and arguments of the tests are ASCII; Windows-1252 keeps any other byte as it is.
std::string Narrow(const std::wstring& text) { return platform::ToAnsi(text); }

int PollMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::ceil<platform::Millis>(deadline - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// The null-terminated array of pointers into `strings` that posix_spawn takes.
std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

struct ChildProcess::Impl {
    pid_t pid = -1;
    int input = -1;   // our end of its standard input
    int output = -1;  // our end of its standard output and error
    std::optional<int> exitCode;

    ~Impl() {
        if (input != -1) ::close(input);
        if (output != -1) ::close(output);
    }

    bool Reap(bool wait) {
        int status = 0;
        pid_t done;
        do done = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
        while (done < 0 && errno == EINTR);
        if (done == pid) exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exitCode.has_value();
    }
};

ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const Environment& environment)
    : m_impl(std::make_unique<Impl>()) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) throw errno;
    m_impl->input = toChild[1];
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        throw errno;
    }
    m_impl->output = fromChild[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDERR_FILENO);

    std::vector<std::string> argv{Narrow(program)};
    for (const std::wstring& argument : arguments) argv.push_back(Narrow(argument));
    std::vector<std::string> envp;  // the added variables first: getenv takes the first match
    for (const auto& [name, value] : environment) envp.push_back(Narrow(name) + "=" + Narrow(value));
    for (char** entry = environ; *entry; ++entry) envp.emplace_back(*entry);

    const int failed = ::posix_spawn(&m_impl->pid, argv[0].c_str(), &actions, nullptr, Pointers(argv).data(),
                                     Pointers(envp).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (failed != 0) throw failed == ENOENT ? platform::kErrorFileNotFound : failed;
}

ChildProcess::~ChildProcess() {
    ::close(std::exchange(m_impl->input, -1));  // servers that watch their input end then
    if (!WaitForExit(platform::Millis(3000))) {
        ::kill(m_impl->pid, SIGKILL);
        m_impl->Reap(true);
    }
}

bool ChildProcess::Fill(Clock::time_point deadline) {
    if (m_impl->output == -1) return false;
    pollfd fd{m_impl->output, POLLIN, 0};
    int ready;
    do ready = ::poll(&fd, 1, PollMs(deadline));
    while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    char chunk[4096];
    ssize_t n;
    do n = ::read(m_impl->output, chunk, sizeof chunk);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        ::close(std::exchange(m_impl->output, -1));
        return false;
    }
    m_output.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::optional<int> ChildProcess::ExitCode(Clock::time_point deadline) {
    if (m_impl->output != -1) return std::nullopt;  // still writing when time ran out
    // Its output has ended; the process itself ends right after.
    while (!m_impl->Reap(false)) {
        if (PollMs(deadline) == 0) return std::nullopt;
        ::poll(nullptr, 0, 5);
    }
    return m_impl->exitCode;
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
