#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

// A folder of its own for one test, removed with everything in it by the destructor.
class TempDir {
public:
    // Below `base`, or the system's temporary folder.
    explicit TempDir(const std::filesystem::path& base = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::wstring Wide() const { return m_path.wstring(); }

private:
    std::filesystem::path m_path;
};

// Under Wine drive Z: is the Linux root: "Z:\tmp\x" is "/tmp/x" (empty for other drives).
std::wstring LinuxPathOf(const std::filesystem::path& path);
std::wstring WindowsPathOf(const char* linuxPath);
// A Linux path as this platform names it.
std::filesystem::path HostPath(const std::string& linuxPath);

}  // namespace testsupport
