// Which reparse points a folder walk may enter. Wine 8 cannot make junctions or tagged reparse
// points (FSCTL_SET_REPARSE_POINT fails with 50, CreateSymbolicLinkW makes nothing), so the
// records a real file system returns are built here.
#include <gtest/gtest.h>

#include "platform/win32/FindData.h"

namespace {

constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD kReparseFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
constexpr DWORD kRecallOnDataAccess = 0x00400000;  // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
constexpr DWORD kCloudFilesTag = 0x9000601A;       // IO_REPARSE_TAG_CLOUD_6

TEST(FolderEntry, OnlySymbolicLinksAndJunctionsAreLinks) {
    const struct {
        const wchar_t* what;
        DWORD attributes;
        DWORD tag;
        bool isFolder;
        bool isLink;
    } cases[] = {
        {L"plain folder", kFolder, 0, true, false},
        {L"symbolic link to a folder", kReparseFolder, IO_REPARSE_TAG_SYMLINK, true, true},
        {L"junction", kReparseFolder, IO_REPARSE_TAG_MOUNT_POINT, true, true},
        {L"Unix symbolic link under Wine (no tag)", kReparseFolder, 0, true, true},
        {L"cloud files placeholder", kReparseFolder | kRecallOnDataAccess, kCloudFilesTag, true, false},
        {L"deduplicated folder", kReparseFolder, IO_REPARSE_TAG_DEDUP, true, false},
        {L"file", FILE_ATTRIBUTE_ARCHIVE, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.what)));
        WIN32_FIND_DATAW data{};
        data.dwFileAttributes = c.attributes;
        data.dwReserved0 = c.tag;
        const platform::FolderEntry entry = platform::win32::EntryOf(data);
        EXPECT_EQ(entry.isFolder, c.isFolder);
        EXPECT_EQ(entry.isLink, c.isLink);
    }
}

}  // namespace
