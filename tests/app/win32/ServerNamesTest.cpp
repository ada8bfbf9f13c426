// Names on the wire under Wine, end to end: the tree of awkward names of the interop matrix,
// UTF-8 names beyond any ANSI code page included, handed by MenuHost.exe through the extension to
// Orvane.exe, which stores it on pyftpdlib in its default configuration (it offers UTF8). Every
// name must arrive exactly, through Windows' own UTF-16 to UTF-8 conversion.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/Registry.h"
#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "tests/support/AwkwardTree.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

std::string Content(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file below `folder` by its relative path ("/" between components), with its content.
std::map<std::wstring, std::string> Tree(const fs::path& folder) {
    std::map<std::wstring, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) tree[fs::relative(entry.path(), folder).generic_wstring()] = Content(entry.path());
    return tree;
}

bool WaitForUploader(bool present, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while ((::FindWindowW(L"OrvaneWindow", L"1") != nullptr) != present) {
        if (std::chrono::steady_clock::now() > end) return false;
        ::Sleep(100);
    }
    return true;
}

class UploaderNames : public FtpServerFixture {
protected:
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        Reset();
        FTPDestination destination = DestinationStore().GetDestination(1);
        destination.displayName = L"Demo";
        destination.server = L"127.0.0.1";
        destination.port = Port();
        destination.userName = L"orvane";
        destination.password = L"s3cret";
        destination.directory = L"/upload";
        DestinationStore().SaveDestination(destination);
        fs::create_directories(Root() / "upload");
        // The folder confirmation is skipped: this test is about names on the wire, and the
        // folder browser's own walk through a server is tested in the dialog tests.
        auto options = platform::SystemRegistry().Create(platform::Hive::CurrentUser, L"Software\\Orvane\\Options");
        ASSERT_TRUE(options && platform::WriteDword(*options, L"SkipFolderConfirmation", 1));
        WriteUploaderPath(WindowsPathOf(ORVANE_PROGRAM));
        ChildProcess regsvr32(L"C:\\windows\\system32\\regsvr32.exe", {L"/s", WindowsPathOf(ORVANE_SHELLEXT_DLL)});
        ASSERT_EQ(regsvr32.WaitForExit(platform::Millis(60000)), 0);
    }
    void TearDown() override {
        if (HWND main = ::FindWindowW(L"OrvaneWindow", L"1")) ::PostMessageW(main, WM_CLOSE, 0, 0);
        Reset();
        FtpServerFixture::TearDown();
    }
    static void Reset() {
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
    }

    // A click on "Demo" in the "Upload to" submenu for `path`, through the real menu handler;
    // waits for the host itself (the uploader it starts keeps any inherited pipe open).
    static void HandOff(const fs::path& path) {
        std::wstring commandLine = L"\"" + WindowsPathOf(ORVANE_MENU_HOST) + L"\" Demo \"" + path.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &process));
        EXPECT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
};

TEST_F(UploaderNames, AwkwardNamesArriveExactlyOnAServerThatOffersUtf8) {
    // Below Z:\tmp, so that the 200-character name stays within MAX_PATH on both sides.
    TempDir local(L"Z:\\tmp");
    const std::vector<AwkwardFile> files = AwkwardTree(true);
    WriteAwkwardTree(local.Path() / "site", files);
    HandOff(local.Path() / "site");
    ASSERT_TRUE(WaitForUploader(true, std::chrono::seconds(30)));
    // The program ends after its last job succeeds; a failed job would stay for its retry.
    ASSERT_TRUE(WaitForUploader(false, std::chrono::seconds(120)));

    std::map<std::wstring, std::string> expected;
    for (const AwkwardFile& file : files) expected[file.path] = Content(local.Path() / "site" / NativePath(file.path));
    const std::map<std::wstring, std::string> arrived = Tree(Root() / "upload" / "site");
    std::vector<std::wstring> expectedNames, arrivedNames;
    for (const auto& [name, content] : expected) expectedNames.push_back(name);
    for (const auto& [name, content] : arrived) arrivedNames.push_back(name);
    EXPECT_EQ(arrivedNames, expectedNames);
    for (const auto& [name, content] : expected) {
        const auto found = arrived.find(name);
        if (found != arrived.end()) {
            EXPECT_TRUE(found->second == content) << testing::PrintToString(name) << ": other bytes";
        }
    }
}

}  // namespace
