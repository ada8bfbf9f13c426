#include "tests/support/TempDir.h"

#include <atomic>
#include <chrono>
#include <random>
#include <system_error>

namespace testsupport {

TempDir::TempDir(const std::filesystem::path& base) {
    static std::atomic<unsigned> counter{0};
    static const unsigned processTag = std::random_device{}();
    const std::filesystem::path parent = base.empty() ? std::filesystem::temp_directory_path() : base;
    for (;;) {
        std::filesystem::path candidate =
            parent / ("orvane-test-" + std::to_string(processTag) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directories(candidate)) {
            m_path = std::move(candidate);
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::wstring LinuxPathOf(const std::filesystem::path& path) {
#ifdef _WIN32
    std::wstring text = path.wstring();
    if (text.size() < 3 || (text[0] != L'Z' && text[0] != L'z') || text[1] != L':') return {};
    text.erase(0, 2);
    for (wchar_t& c : text)
        if (c == L'\\') c = L'/';
    return text;
#else
    return path.wstring();
#endif
}

std::wstring WindowsPathOf(const char* linuxPath) {
    std::wstring path = L"Z:";
    for (const char* c = linuxPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

}  // namespace testsupport
