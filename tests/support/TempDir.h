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

// The path that Linux programs see for `path`: itself natively; under Wine, where drive Z: is
// the Linux root, "Z:\tmp\x" becomes "/tmp/x". Empty when the path has no Linux counterpart.
std::wstring LinuxPathOf(const std::filesystem::path& path);

// The other way: the Windows path (drive Z:) of a file the build names by its Linux path, for
// the programs' paths that CMake compiles into the Windows tests.
std::wstring WindowsPathOf(const char* linuxPath);

}  // namespace testsupport
