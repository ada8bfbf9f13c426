#pragma once
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Time.h"

namespace testsupport {

// A program that a test starts; it writes to this process's standard output and error. The
// destructor closes its standard input (servers watch it), gives it a moment to end, and then
// ends it.
class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

    // Under Wine "Z:\usr\bin\python3" starts the Linux program. `environment` is added for the
    // child (on Windows to this process's too). Throws int.
    ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                 const Environment& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Its exit code, or nullopt when it did not end within `limit`.
    std::optional<int> WaitForExit(platform::Millis limit);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

std::wstring CurrentProgram();

std::wstring EnvironmentVariable(const std::wstring& name);

}  // namespace testsupport
