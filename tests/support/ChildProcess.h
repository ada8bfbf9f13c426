#pragma once
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

    // `program` is a path of this platform; under Wine "Z:\usr\bin\python3" starts the Linux
    // program. `environment` is added to this process's environment for the child. Throws int.
    ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                 const Environment& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of its output, without the line end; nullopt at the end of its output or
    // when no whole line came within `limit`.
    std::optional<std::string> ReadLine(platform::Millis limit);

    // Reads its output until it ends (or `limit` passes) and returns its exit code, or nullopt
    // when it did not end in time. What it printed meanwhile is in Output().
    std::optional<int> WaitForExit(platform::Millis limit);
    const std::string& Output() const { return m_output; }

    // Closes its standard input (servers that watch it end then).
    void CloseInput();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
    std::string m_output;
};

// The path of the running program, to start it again as a child.
std::wstring CurrentProgram();

// An environment variable of this process, empty when it is not set.
std::wstring EnvironmentVariable(const std::wstring& name);

}  // namespace testsupport
