#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

extern char** environ;

namespace testsupport {

struct ChildProcess::Impl {
    pid_t pid = -1;
    int input = -1;  // our end of its standard input
    std::optional<int> exitCode;
};

// Paths and arguments of the tests are ASCII; Windows-1252 keeps any other byte as it is.
ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const Environment& environment)
    : m_impl(std::make_unique<Impl>()) {
    std::vector<std::string> argv{platform::ToAnsi(program)};
    for (const std::wstring& argument : arguments) argv.push_back(platform::ToAnsi(argument));
    std::vector<std::string> envp;  // the added variables first: getenv takes the first match
    for (const auto& [name, value] : environment) envp.push_back(platform::ToAnsi(name + L"=" + value));
    for (char** entry = environ; *entry; ++entry) envp.emplace_back(*entry);

    int toChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) throw errno;
    m_impl->input = toChild[1];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    // A group of its own, so that whatever it starts in turn (the Debian servers) ends with it: a
    // server left behind would keep ctest's output open.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    const auto pointers = [](std::vector<std::string>& strings) {  // null-terminated, as posix_spawn takes them
        std::vector<char*> list;
        for (std::string& text : strings) list.push_back(text.data());
        list.push_back(nullptr);
        return list;
    };
    const int failed = ::posix_spawn(&m_impl->pid, argv[0].c_str(), &actions, &attributes, pointers(argv).data(),
                                     pointers(envp).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    if (failed == 0) return;
    ::close(toChild[1]);
    throw failed == ENOENT ? platform::kErrorFileNotFound : failed;
}

ChildProcess::~ChildProcess() {
    ::close(m_impl->input);
    if (!WaitForExit(platform::Millis(3000))) {
        ::kill(-m_impl->pid, SIGKILL);
        ::waitpid(m_impl->pid, nullptr, 0);
    }
    ::kill(-m_impl->pid, SIGKILL);  // what it started and left running
}

std::optional<int> ChildProcess::WaitForExit(platform::Millis limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (int status = 0; !m_impl->exitCode; ::poll(nullptr, 0, 5)) {
        if (::waitpid(m_impl->pid, &status, WNOHANG) == m_impl->pid)
            m_impl->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (std::chrono::steady_clock::now() >= deadline)
            break;
    }
    return m_impl->exitCode;
}

std::wstring CurrentProgram() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n <= 0 ? std::wstring() : platform::FromAnsi(std::string_view(path, static_cast<std::size_t>(n)));
}

std::wstring EnvironmentVariable(const std::wstring& name) {
    const char* value = std::getenv(platform::ToAnsi(name).c_str());
    return value ? platform::FromAnsi(value) : std::wstring();
}

}  // namespace testsupport
