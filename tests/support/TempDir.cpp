#include "tests/support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <system_error>

#include "platform/Folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

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
// Bottom up, with the platform's listing and \\?\ paths: the C++ library under mingw can neither
// list nor remove past 260 characters, and its remove_all can go round for ever on such a tree.
// Links are removed, never entered.
void RemoveTree(const std::wstring& folder) {
    try {
        for (const platform::FolderEntry& entry : platform::ListFolder(folder)) {
            const std::wstring path = folder + L"\\" + entry.name;
            if (entry.isFolder && !entry.isLink) RemoveTree(path);
            else if (entry.isFolder) ::RemoveDirectoryW(path.c_str());
            else ::DeleteFileW(path.c_str());
        }
    } catch (int) {
    }
    ::RemoveDirectoryW(folder.c_str());
}
#endif

}  // namespace

TempDir::~TempDir() {
#ifdef _WIN32
    RemoveTree(L"\\\\?\\" + std::filesystem::absolute(m_path).make_preferred().wstring());
#else
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
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
