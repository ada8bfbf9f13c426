#include "platform/File.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "platform/ErrorCodes.h"

namespace {

namespace fs = std::filesystem;
using platform::File;

// A fresh folder per test, removed afterwards.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        m_folder = fs::temp_directory_path() /
                   ("orvane-file-" + std::to_string(random()) + "-" + std::to_string(random()));
        fs::create_directories(m_folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    // Joined as text: off Windows, std::filesystem would narrow a wide name with the C
    // locale's code page, which cannot hold most names.
    std::wstring PathOf(const std::wstring& name) const {
        return m_folder.wstring() + static_cast<wchar_t>(fs::path::preferred_separator) + name;
    }
    std::string Contents(const std::wstring& name) {
        File in = platform::OpenForReading(PathOf(name));
        std::string text(64, '\0');
        text.resize(platform::Read(in, text));
        EXPECT_EQ(platform::SizeOf(in), text.size());
        EXPECT_EQ(platform::Read(in, text), 0u);
        return text;
    }

    fs::path m_folder;
};

TEST_F(FileTest, CreatingEmptiesAnExistingFileAndMoveAssignmentClosesTheFileItReplaces) {
    File held = platform::CreateForWriting(PathOf(L"one.txt"));
    platform::WriteAll(held, std::string("a longer first text"));
    held = platform::CreateForWriting(PathOf(L"two.txt"));
    EXPECT_EQ(Contents(L"one.txt"), "a longer first text");  // no longer held for writing
    held = platform::CreateForWriting(PathOf(L"one.txt"));
    platform::WriteAll(held, std::string("short"));
    held.Close();
    EXPECT_EQ(Contents(L"one.txt"), "short");
    EXPECT_EQ(Contents(L"two.txt"), "");
}

// Failures carry Windows numbers; readers share with readers only.
TEST_F(FileTest, FailuresCarryTheirWindowsNumbers) {
    fs::create_directory(m_folder / "sub");
    const File writer = platform::CreateForWriting(PathOf(L"busy.txt"));
    platform::CreateForWriting(PathOf(L"shared.txt"));
    const File reader = platform::OpenForReading(PathOf(L"shared.txt"));
    const struct {
        const char* what;
        std::function<void()> open;
        int error;
    } cases[] = {
        {"missing file", [&] { platform::OpenForReading(PathOf(L"missing.txt")); }, platform::kErrorFileNotFound},
        {"missing folder", [&] { platform::OpenForReading(PathOf(L"no/a.txt")); }, platform::kErrorPathNotFound},
        {"created in a missing folder", [&] { platform::CreateForWriting(PathOf(L"no/a.txt")); }, platform::kErrorPathNotFound},
        {"folder read", [&] { platform::OpenForReading(PathOf(L"sub")); }, platform::kErrorAccessDenied},
        {"folder written", [&] { platform::CreateForWriting(PathOf(L"sub")); }, platform::kErrorAccessDenied},
        {"read while written", [&] { platform::OpenForReading(PathOf(L"busy.txt")); }, platform::kErrorSharingViolation},
        {"written while read", [&] { platform::CreateForWriting(PathOf(L"shared.txt")); }, platform::kErrorSharingViolation},
        {"read while read", [&] { platform::OpenForReading(PathOf(L"shared.txt")); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int error = 0;
        try {
            c.open();
        } catch (int code) {
            error = code;
        }
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
