#include "platform/File.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ErrorCodes.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

// A missing folder is told apart from a missing file, and a file other readers hold still opens
// for reading. (Missing files, folders and files held by a writer are the upload's own cases.)
TEST(FileTest, MissingFolderIsError3AndReadersShare) {
    testsupport::TempDir folder;
    const std::wstring shared = (folder.Path() / "shared.txt").wstring();
    platform::CreateForWriting(shared);
    const platform::File reader = platform::OpenForReading(shared);
    EXPECT_EQ(platformtest::ErrorOf([&] { platform::OpenForReading(shared); }), 0);
    const std::wstring inMissingFolder = (folder.Path() / "no" / "a.txt").wstring();
    EXPECT_EQ(platformtest::ErrorOf([&] { platform::OpenForReading(inMissingFolder); }), platform::kErrorPathNotFound);
}

}  // namespace
