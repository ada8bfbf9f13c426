// Both halves of the hand-off over one registry and real local folders: the key the extension
// writes for a selection, the job the uploader reads back from it, and (one case) its upload.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "Orvane/app/HandOffReader.h"
#include "Orvane/engine/tasks/FTPEngine.h"
#include "OrvaneShellExt/HandOffWriter.h"
#include "platform/ErrorCodes.h"
#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryRegistry.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/engine/tasks/UploadTestSupport.h"
#include "tests/support/AwkwardTree.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Entries = std::map<std::wstring, std::wstring>;

using uploadtest::WriteFile;

// What both halves work on: a local folder, the registry, destination 3.
class HandOffWorld {
protected:
    HandOffWorld() {
        destination.number = 3;
        destination.basePath = kDestinationsPath;
        destination.keyName = L"3";
    }

    std::wstring Local(const fs::path& relative) const {
        std::wstring path = m_folder.Wide();
        for (const auto& part : relative) path += platform::kPathSeparator + part.wstring();
        return path;
    }

    void SetSmart(bool on) {
        auto options = registry.Create(platform::Hive::CurrentUser, L"Software\\Orvane\\Options");
        ASSERT_TRUE(options && platform::WriteDword(*options, L"SmartContextMenu", on ? 1 : 0));
    }

    std::wstring Write(const std::vector<std::wstring>& paths) {
        const HandOffKeyResult written = WriteHandOffKey(destination, paths, registry);
        EXPECT_EQ(written.status, HandOffKeyStatus::Written);
        return HandOffKeyPath(destination, GuidText(written.guid));
    }

    // The job read back: relative folder + "|" + name + "|" + size, per local path. Its
    // left-out items land in `leftOut`.
    Entries JobOf(const std::wstring& keyPath) {
        UploadJob job;
        ReadHandOffKey(L"", keyPath, job, registry);
        Entries entries;
        for (const auto& [path, entry] : job.files)
            entries[path] = entry.relativeFolder + L"|" + entry.name + L"|" + std::to_wstring(entry.size);
        leftOut = job.leftOut;
        return entries;
    }

    void MakeSite() {
        WriteFile(m_folder.Path() / "site" / "index.html", 12);
        WriteFile(m_folder.Path() / "site" / "img" / "logo.png", 300);
    }

    testsupport::TempDir m_folder;
    platform::MemoryRegistry registry;
    FTPDestination destination;
    std::vector<LeftOutItem> leftOut;
};

class HandOff : public testing::Test, protected HandOffWorld {};

// Each hand-off has its own key; a file that cannot be opened by the time the job is read counts
// zero bytes and stays in the job; a missing key reads as nothing and is not created. With the
// smart menu on, one selected folder is the base itself; two folders never are.
TEST_F(HandOff, FileGivesItsFolderAsBaseAndTheSmartMenuASelectedFolder) {
    const std::wstring name = L"caf\u00e9 \u4e2d.txt", path = m_folder.Wide() + platform::kPathSeparator + name;
    WriteFile(m_folder.Path() / testsupport::NativePath(name), 5);
    const std::wstring keyPath = Write({path});
    EXPECT_EQ(keyPath.rfind(L"Software\\Telmora\\FTPDestinations\\3\\{", 0), 0u);
    EXPECT_EQ(JobOf(keyPath), (Entries{{path, L"|" + name + L"|5"}}));
    EXPECT_NE(Write({path}), keyPath);
    fs::remove(m_folder.Path() / testsupport::NativePath(name));
    EXPECT_EQ(JobOf(keyPath), (Entries{{path, L"|" + name + L"|0"}}));
    const std::wstring missing = HandOffKeyPath(destination, L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_TRUE(JobOf(missing).empty());
    EXPECT_EQ(registry.Open(platform::Hive::CurrentUser, missing, platform::Access::Read), nullptr);

    MakeSite();
    WriteFile(m_folder.Path() / "other" / "b.txt", 1);
    SetSmart(true);
    EXPECT_EQ(JobOf(Write({Local("site")})),
              (Entries{{Local("site/index.html"), L"|index.html|12"}, {Local("site/img/logo.png"), L"img|logo.png|300"}}));
    EXPECT_EQ(JobOf(Write({Local("site"), Local("other")})),
              (Entries{{Local("site/index.html"), L"site|index.html|12"},
                       {Local("site/img/logo.png"), L"site\\img|logo.png|300"},
                       {Local("other/b.txt"), L"other|b.txt|1"}}));
}

// A folder nobody can list (here one that vanished before the walk) is not an empty one: the
// job lists it as left out.
TEST_F(HandOff, EmptyFolderAddsNothingAndOneThatCannotBeListedIsLeftOut) {
    fs::create_directories(m_folder.Path() / "empty");
    EXPECT_TRUE(JobOf(Write({Local("empty"), Local("gone")})).empty());
    EXPECT_EQ(leftOut, (std::vector<LeftOutItem>{{Local("gone"), platform::kErrorPathNotFound}}));
    // Alone with the smart menu on, it is handed off as a selected folder, so that it is named.
    SetSmart(true);
    EXPECT_TRUE(JobOf(Write({Local("gone")})).empty());
    EXPECT_EQ(leftOut.size(), 1u);
}

// Without a common folder, or with a root in it, a selection writes no key at all.
TEST_F(HandOff, CommonParentGoesNoHigherThanADriveOrAShareAndRootsAreRefused) {
    struct Case {
        std::vector<std::wstring> paths;
        std::optional<std::wstring> common;
    };
    // A whole drive or share (a root), or more items than the bound, would fill the user's hive:
    // refused, and nothing of a walk that passed the bound stays behind.
#ifdef _WIN32
    const Case cases[] = {
        {{L"C:\\data\\x\\f.txt", L"C:\\data\\y\\z\\f.txt"}, L"C:\\data"},
        {{L"C:\\a.txt", L"C:\\data\\b.txt"}, L"C:"},
        {{L"C:\\data\\a.txt", L"D:\\data\\a.txt"}, std::nullopt},
        {{L"\\\\srv\\share\\x\\a.txt", L"\\\\srv\\share\\y\\a.txt"}, L"\\\\srv\\share"},
        {{L"\\\\srv\\one\\a.txt", L"\\\\srv\\two\\a.txt"}, std::nullopt},
        {{L"\\\\srv\\share\\a.txt", L"C:\\share\\a.txt"}, std::nullopt},
    };
    const std::vector<std::wstring> roots = {L"C:\\", L"D:", L"\\\\srv\\share", L"\\\\srv\\share\\"};
#else
    const Case cases[] = {
        {{L"/data/x/f.txt", L"/data/y/z/f.txt"}, L"/data"},
        {{L"/a.txt", L"/data/b.txt"}, L""},
    };
    const std::vector<std::wstring> roots = {L"/"};
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.paths));
        EXPECT_EQ(CommonParentFolder(c.paths), c.common);
        if (!c.common) {
            EXPECT_EQ(WriteHandOffKey(destination, c.paths, registry).status, HandOffKeyStatus::NoCommonFolder);
        }
    }
    for (const std::wstring& root : roots) {
        SCOPED_TRACE(testing::PrintToString(root));
        EXPECT_EQ(WriteHandOffKey(destination, {root}, registry).status, HandOffKeyStatus::DriveRoot);
        EXPECT_EQ(WriteHandOffKey(destination, {Local("a.txt"), root}, registry).status, HandOffKeyStatus::DriveRoot);
    }
    EXPECT_EQ(registry.Open(platform::Hive::CurrentUser, DestinationKeyPath(destination), platform::Access::Read),
              nullptr);

    // The site is four items: itself, index.html, img and logo.png.
    MakeSite();
    EXPECT_EQ(WriteHandOffKey(destination, {Local("site")}, registry, 3).status, HandOffKeyStatus::TooManyItems);
    EXPECT_EQ(WriteHandOffKey(destination, {Local("site")}, registry, 4).status, HandOffKeyStatus::Written);
    auto store = registry.Open(platform::Hive::CurrentUser, DestinationKeyPath(destination), platform::Access::Read);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->SubkeyNames().size(), 1u);  // only the one written
}

#ifndef _WIN32
// A link back to a parent would make the walk endless: it is never entered.
TEST_F(HandOff, LinkToAParentFolderIsNotEntered) {
    MakeSite();
    fs::create_directory_symlink(m_folder.Path() / "site", m_folder.Path() / "site" / "img" / "loop");
    EXPECT_EQ(JobOf(Write({Local("site")})).size(), 2u);
}
#endif

// From the selection to the server: the hand-off written and read back, and the job uploaded.
class HandOffUpload : public testsupport::FtpServerFixture, protected HandOffWorld {};

TEST_F(HandOffUpload, FileDeeperThanAPlainWindowsPathArrivesWhole) {
    fs::path deep = "deep";
    for (char c = 'p'; c < 'u'; ++c) deep /= std::string(60, c);
    WriteFile(m_folder.Path() / deep / "file.bin", 9000);
    ASSERT_GT(Local(deep / "file.bin").size(), 300u);  // past the 260 characters a plain Windows path may have

    UploadJob job;
    ReadHandOffKey(L"", Write({Local("deep")}), job, registry);
    EXPECT_EQ(job.totalBytes, 9000);
    TaskInbox inbox;
    CFTPEngine engine(uploadtest::kTimeouts);
    engine.Upload(uploadtest::DestinationOn(Server()), L"{00000000-0000-0000-0000-000000000003}", job, inbox.Ref());
    ASSERT_TRUE(inbox.WaitForResults(1));
    EXPECT_TRUE(inbox.results[0]->Succeeded()) << inbox.results[0]->errorCode << " " << inbox.results[0]->reply.code;
    // With the platform's own calls: the C++ library under mingw cannot reach past 260 characters.
    std::wstring remote = Root().wstring();
    for (const auto& part : deep / "file.bin") remote += platform::kPathSeparator + part.wstring();
    EXPECT_EQ(platform::SizeOf(platform::OpenForReading(remote)), 9000u);
}

}  // namespace
