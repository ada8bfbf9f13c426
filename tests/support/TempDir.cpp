#include "tests/support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <system_error>

#include "platform/Folder.h"

namespace testsupport {

TempDir::TempDir(const std::filesystem::path& base) {
    static std::atomic<unsigned> counter{0};
    static const unsigned processTag = std::random_device{}();
    const std::filesystem::path parent = base.empty() ? std::filesystem::temp_directory_path() : base;
    do m_path = parent / ("orvane-test-" + std::to_string(processTag) + "-" + std::to_string(counter++));
    while (!std::filesystem::create_directories(m_path));
}

namespace {

#ifdef _WIN32
// Bottom up, with the platform's listing. Links are removed, never entered.
void RemoveTree(const std::wstring& folder) {
    std::error_code ignored;
    try {
        for (const platform::FolderEntry& entry : platform::ListFolder(folder)) {
            const std::wstring path = folder + platform::kPathSeparator + entry.name;
            if (entry.isFolder && !entry.isLink) RemoveTree(path);
            else std::filesystem::remove(std::filesystem::path(path), ignored);
        }
    } catch (int) {
    }
    std::filesystem::remove(std::filesystem::path(folder), ignored);
}
#endif

}  // namespace

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
#ifdef _WIN32
    // The C++ library under mingw cannot list folders past 260 characters, which some tests make.
    if (std::filesystem::exists(m_path, ignored)) RemoveTree(m_path.wstring());
#endif
}

std::wstring LinuxPathOf(const std::filesystem::path& path) {
#ifdef _WIN32
    std::wstring text = path.wstring();
    if (text.size() < 3 || (text[0] != L'Z' && text[0] != L'z') || text[1] != L':') return {};
    std::replace(text.begin(), text.end(), L'\\', L'/');
    return text.substr(2);
#else
    return path.wstring();
#endif
}

std::wstring WindowsPathOf(const char* linuxPath) {
    std::wstring path = L"Z:";
    for (const char* c = linuxPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

std::filesystem::path HostPath(const std::string& linuxPath) {
#ifdef _WIN32
    return WindowsPathOf(linuxPath.c_str());
#else
    return linuxPath;
#endif
}

}  // namespace testsupport
