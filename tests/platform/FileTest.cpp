#include "platform/File.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/ErrorCodes.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using platform::File;

class FileTest : public ::testing::Test {
protected:
    std::wstring PathOf(const char* name) const { return (m_folder.Path() / name).wstring(); }
    std::string Contents(const char* name) {
        File in = platform::OpenForReading(PathOf(name));
        std::string text(64, '\0');
        text.resize(platform::Read(in, text));
        EXPECT_EQ(platform::SizeOf(in), text.size());
        EXPECT_EQ(platform::Read(in, text), 0u);
        return text;
    }

    testsupport::TempDir m_folder;
};

TEST_F(FileTest, CreatingEmptiesAnExistingFileAndMoveAssignmentClosesTheFileItReplaces) {
    File held = platform::CreateForWriting(PathOf("one.txt"));
    platform::WriteAll(held, std::string("a longer first text"));
    held = platform::CreateForWriting(PathOf("two.txt"));
    EXPECT_EQ(Contents("one.txt"), "a longer first text");  // no longer held for writing
    held = platform::CreateForWriting(PathOf("one.txt"));
    platform::WriteAll(held, std::string("short"));
    held.Close();
    EXPECT_EQ(Contents("one.txt"), "short");
    EXPECT_EQ(Contents("two.txt"), "");
}

// Failures carry Windows numbers; readers share with readers only.
TEST_F(FileTest, FailuresCarryTheirWindowsNumbers) {
    fs::create_directory(m_folder.Path() / "sub");
    const File writer = platform::CreateForWriting(PathOf("busy.txt"));
    platform::CreateForWriting(PathOf("shared.txt"));
    const File reader = platform::OpenForReading(PathOf("shared.txt"));
    const struct {
        const char* what;
        std::function<void()> open;
        int error;
    } cases[] = {
        {"missing file", [&] { platform::OpenForReading(PathOf("missing.txt")); }, platform::kErrorFileNotFound},
        {"missing folder", [&] { platform::OpenForReading(PathOf("no/a.txt")); }, platform::kErrorPathNotFound},
        {"created in a missing folder", [&] { platform::CreateForWriting(PathOf("no/a.txt")); }, platform::kErrorPathNotFound},
        {"folder read", [&] { platform::OpenForReading(PathOf("sub")); }, platform::kErrorAccessDenied},
        {"folder written", [&] { platform::CreateForWriting(PathOf("sub")); }, platform::kErrorAccessDenied},
        {"read while written", [&] { platform::OpenForReading(PathOf("busy.txt")); }, platform::kErrorSharingViolation},
        {"written while read", [&] { platform::CreateForWriting(PathOf("shared.txt")); }, platform::kErrorSharingViolation},
        {"read while read", [&] { platform::OpenForReading(PathOf("shared.txt")); }, 0},
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
