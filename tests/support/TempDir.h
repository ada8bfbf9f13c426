#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

// A folder of its own for one test, removed with everything in it by the destructor.
class TempDir {
public:
    // Below `base`, or below the system's temporary folder when `base` is empty. Throws
    // std::filesystem::filesystem_error when it cannot be made.
    explicit TempDir(const std::filesystem::path& base = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::wstring Wide() const { return m_path.wstring(); }

private:
    std::filesystem::path m_path;
};

// Under Wine drive Z: is the Linux root. The path Linux programs see for `path` ("Z:\tmp\x" is
// "/tmp/x"; itself natively), empty when there is none.
std::wstring LinuxPathOf(const std::filesystem::path& path);
// The other way, for the programs' paths that CMake compiles into the Windows tests.
std::wstring WindowsPathOf(const char* linuxPath);
// A Linux path as this platform names it: itself natively, WindowsPathOf under Wine.
std::filesystem::path HostPath(const std::string& linuxPath);

}  // namespace testsupport
