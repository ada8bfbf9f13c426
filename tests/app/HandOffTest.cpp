// Both halves of the hand-off over one registry and real local folders: what the shell
// extension writes for a selection, and the job the uploader reads back from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "Orvane/app/HandOffReader.h"
#include "OrvaneShellExt/HandOffWriter.h"
#include "platform/Folder.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryRegistry.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, std::size_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

// A key's contents as "value=data" and "subkey/" lines, every level below it, sorted.
void Dump(const platform::RegistryKey& key, const std::wstring& prefix, std::set<std::wstring>& lines) {
    for (const std::wstring& name : key.ValueNames())
        lines.insert(prefix + name + L"=" + platform::ReadString(key, name, 32768).value_or(L"?"));
    for (const std::wstring& name : key.SubkeyNames()) {
        lines.insert(prefix + name + L"/");
        if (auto subkey = key.Open(name, platform::Access::Read)) Dump(*subkey, prefix + name + L"/", lines);
    }
}

class HandOff : public testing::Test {
protected:
    HandOff() {
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

    // Hands `paths` off and returns the key's path and its contents.
    std::set<std::wstring> HandOffContents(const std::vector<std::wstring>& paths, std::wstring& keyPath) {
        const auto guid = WriteHandOffKey(destination, paths, registry);
        EXPECT_TRUE(guid);
        if (!guid) return {};
        keyPath = HandOffKeyPath(destination, GuidText(*guid));
        std::set<std::wstring> lines;
        if (auto key = registry.Open(platform::Hive::CurrentUser, keyPath, platform::Access::Read))
            Dump(*key, L"", lines);
        return lines;
    }

    // The job read back: relative folder + "|" + name + "|" + size, per local path.
    std::map<std::wstring, std::wstring> JobOf(const std::wstring& keyPath) {
        UploadJob job;
        ReadHandOffKey(L"", keyPath, job, registry);
        std::map<std::wstring, std::wstring> entries;
        for (const auto& [path, entry] : job.files)
            entries[path] = entry.relativeFolder + L"|" + entry.name + L"|" + std::to_wstring(entry.size);
        return entries;
    }

    void MakeSite() {
        WriteFile(m_folder.Path() / "site" / "index.html", 12);
        WriteFile(m_folder.Path() / "site" / "img" / "logo.png", 300);
    }

    testsupport::TempDir m_folder;
    platform::MemoryRegistry registry;
    FTPDestination destination;
};

TEST_F(HandOff, OneFileGivesItsFolderAsBaseAndOneValue) {
    WriteFile(m_folder.Path() / "a.txt", 5);
    std::wstring keyPath;
    EXPECT_EQ(HandOffContents({Local("a.txt")}, keyPath),
              (std::set<std::wstring>{L"=" + m_folder.Wide(), L"a.txt=" + Local("a.txt")}));
    EXPECT_EQ(keyPath.rfind(L"Software\\Telmora\\FTPDestinations\\3\\{", 0), 0u);
    EXPECT_EQ(JobOf(keyPath), (std::map<std::wstring, std::wstring>{{Local("a.txt"), L"|a.txt|5"}}));
}

TEST_F(HandOff, SelectedFolderBecomesASubkeyUnlessTheSmartMenuIsOn) {
    MakeSite();
    std::wstring keyPath;
    EXPECT_EQ(HandOffContents({Local("site")}, keyPath),
              (std::set<std::wstring>{L"=" + m_folder.Wide(), L"site/", L"site/index.html=" + Local("site/index.html"),
                                      L"site/img/", L"site/img/logo.png=" + Local("site/img/logo.png")}));
    EXPECT_EQ(JobOf(keyPath), (std::map<std::wstring, std::wstring>{{Local("site/index.html"), L"site|index.html|12"},
                                                                   {Local("site/img/logo.png"), L"site\\img|logo.png|300"}}));

    SetSmart(true);
    EXPECT_EQ(HandOffContents({Local("site")}, keyPath),
              (std::set<std::wstring>{L"=" + Local("site"), L"index.html=" + Local("site/index.html"), L"img/",
                                      L"img/logo.png=" + Local("site/img/logo.png")}));
    EXPECT_EQ(JobOf(keyPath), (std::map<std::wstring, std::wstring>{{Local("site/index.html"), L"|index.html|12"},
                                                                   {Local("site/img/logo.png"), L"img|logo.png|300"}}));

    // Two folders are never smart: each keeps its own subkey.
    WriteFile(m_folder.Path() / "other" / "b.txt", 1);
    const auto both = HandOffContents({Local("site"), Local("other")}, keyPath);
    EXPECT_TRUE(both.count(L"site/") && both.count(L"other/b.txt=" + Local("other/b.txt")));
    EXPECT_TRUE(both.count(L"=" + m_folder.Wide()));
}

TEST_F(HandOff, EmptyAndUnreadablePathsAddFoldersWithoutFiles) {
    fs::create_directories(m_folder.Path() / "empty");
    std::wstring keyPath;
    EXPECT_EQ(HandOffContents({Local("empty"), Local("gone")}, keyPath),
              (std::set<std::wstring>{L"=" + m_folder.Wide(), L"empty/", L"gone/"}));
    EXPECT_TRUE(JobOf(keyPath).empty());
}

TEST_F(HandOff, NamesOutsideAsciiSurviveTheWalk) {
    WriteFile(m_folder.Path() / "site" / fs::path(u8"caf\u00e9 \u4e2d.txt"), 3);
    std::wstring keyPath;
    const auto lines = HandOffContents({Local("site")}, keyPath);
    const std::wstring path = Local("site") + platform::kPathSeparator + L"caf\u00e9 \u4e2d.txt";
    EXPECT_TRUE(lines.count(L"site/caf\u00e9 \u4e2d.txt=" + path));
    EXPECT_EQ(JobOf(keyPath), (std::map<std::wstring, std::wstring>{{path, L"site|caf\u00e9 \u4e2d.txt|3"}}));
}

TEST_F(HandOff, EachHandOffGetsItsOwnKey) {
    WriteFile(m_folder.Path() / "a.txt", 5);
    std::wstring first, second;
    HandOffContents({Local("a.txt")}, first);
    HandOffContents({Local("a.txt")}, second);
    EXPECT_NE(first, second);
    auto store = registry.Open(platform::Hive::CurrentUser, DestinationKeyPath(destination), platform::Access::Read);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->SubkeyNames().size(), 2u);
}

TEST_F(HandOff, FileThatCannotBeOpenedCountsZeroBytesAndStaysInTheJob) {
    WriteFile(m_folder.Path() / "a.txt", 5);
    std::wstring keyPath;
    HandOffContents({Local("a.txt")}, keyPath);
    fs::remove(m_folder.Path() / "a.txt");
    EXPECT_EQ(JobOf(keyPath), (std::map<std::wstring, std::wstring>{{Local("a.txt"), L"|a.txt|0"}}));
}

TEST_F(HandOff, MissingKeyReadsAsNothingAndIsNotCreated) {
    const std::wstring keyPath = HandOffKeyPath(destination, L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_TRUE(JobOf(keyPath).empty());
    EXPECT_EQ(registry.Open(platform::Hive::CurrentUser, keyPath, platform::Access::Read), nullptr);
}

#ifndef _WIN32
// A link back to a parent would make the walk endless: it is listed, never entered.
TEST_F(HandOff, LinkToAParentFolderIsNotEntered) {
    MakeSite();
    fs::create_directory_symlink(m_folder.Path() / "site", m_folder.Path() / "site" / "img" / "loop");
    std::wstring keyPath;
    const auto lines = HandOffContents({Local("site")}, keyPath);
    EXPECT_TRUE(lines.count(L"site/img/loop/"));
    EXPECT_FALSE(lines.count(L"site/img/loop/index.html=" + Local("site/img/loop/index.html")));
    EXPECT_EQ(JobOf(keyPath).size(), 2u);
}
#endif

TEST(HandOffKeyName, ThirdGroupIsLowerCaseAndTheRestUpperCase) {
    const platform::GuidBytes guid{0xC3, 0xB7, 0x61, 0x8E, 0xAB, 0xCD, 0xEF, 0xAB,
                                   0x9A, 0x06, 0x2F, 0x5D, 0x8E, 0x61, 0xB7, 0xC3};
    EXPECT_EQ(GuidText(guid), L"{8E61B7C3-CDAB-abef-9A06-2F5D8E61B7C3}");
}

}  // namespace
