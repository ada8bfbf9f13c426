#include "platform/File.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/ErrorCodes.h"
#include "tests/support/TempDir.h"

namespace {

// A missing folder is told apart from a missing file, and a file other readers hold still opens
// for reading. (Missing files, folders and files held by a writer are the upload's own cases.)
TEST(FileTest, MissingFolderIsError3AndReadersShare) {
    testsupport::TempDir folder;
    const std::wstring shared = (folder.Path() / "shared.txt").wstring();
    platform::CreateForWriting(shared);
    const platform::File reader = platform::OpenForReading(shared);
    const struct {
        const char* what;
        std::function<void()> open;
        int error;
    } cases[] = {
        {"missing folder", [&] { platform::OpenForReading((folder.Path() / "no" / "a.txt").wstring()); }, platform::kErrorPathNotFound},
        {"read while read", [&] { platform::OpenForReading(shared); }, 0},
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
