#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Time.h"

namespace testsupport {

// A program that a test starts, with its standard input and output (standard error too) on
// pipes. The destructor closes its input, gives it a moment to end, and then ends it.
class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::wstring, std::wstring>>;
    using Clock = std::chrono::steady_clock;

    // `program` is a path of this platform; under Wine "Z:\usr\bin\python3" starts the Linux
    // program. `environment` is added to this process's environment for the child. Throws int.
    ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                 const Environment& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads its output until it ends (or `limit` passes) and returns its exit code, or nullopt
    // when it did not end in time. What it printed meanwhile is in Output().
    std::optional<int> WaitForExit(platform::Millis limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        while (Fill(deadline)) {
        }
        return ExitCode(deadline);
    }
    const std::string& Output() const { return m_output; }

    struct Impl;

private:
    // Adds what it wrote to m_output; false once its output has ended or at `deadline`.
    bool Fill(Clock::time_point deadline);
    // Its exit code once its output has ended, waiting for it until `deadline`.
    std::optional<int> ExitCode(Clock::time_point deadline);

    std::unique_ptr<Impl> m_impl;
    std::string m_output;
};

// The path of the running program, to start it again as a child.
std::wstring CurrentProgram();

// An environment variable of this process, empty when it is not set.
std::wstring EnvironmentVariable(const std::wstring& name);

}  // namespace testsupport
