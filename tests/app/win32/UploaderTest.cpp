// The whole road under Wine with real processes: MenuHost.exe plays the file manager and drives
// OrvaneShellExt.dll's menu, which starts Orvane.exe from "FullPath"; the server is pyftpdlib.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "Orvane/resources/EngineResourceIds.h"
#include "platform/Registry.h"
#include "platform/RegistryValues.h"
#include "platform/win32/Unique.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "tests/engine/tasks/UploadTestSupport.h"
#include "tests/support/AwkwardTree.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/win32/DialogDriver.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using std::chrono::seconds;

using uploadtest::WriteFile;

// Names first, so that a failure says which; then the contents, without printing them.
void ExpectSameTree(const fs::path& local, const fs::path& remote) {
    const auto expected = uploadtest::TreeOf(local), arrived = uploadtest::TreeOf(remote);
    std::vector<std::wstring> expectedNames, arrivedNames;
    for (const auto& file : expected) expectedNames.push_back(file.first);
    for (const auto& file : arrived) arrivedNames.push_back(file.first);
    EXPECT_EQ(arrivedNames, expectedNames);
    EXPECT_TRUE(arrived == expected) << "other bytes below " << remote;
}

HWND WaitForAnyWindow(const wchar_t* className, const wchar_t* title, seconds limit) {
    HWND window = nullptr;
    PumpUntil([&] { return (window = ::FindWindowW(className, title)) != nullptr; }, limit);
    return window;
}

bool UploaderGone(seconds limit) {
    return PumpUntil([] { return ::FindWindowW(L"OrvaneWindow", L"1") == nullptr; }, limit);
}

// A hand-off's folder browser, once it has listed the starting folder ("OK" is enabled then).
HWND WaitForListedBrowser() {
    HWND browser = WaitForAnyWindow(L"#32770", L"Browse Folder", seconds(30));
    const auto listed = [&] {
        return ListView_GetItemCount(::GetDlgItem(browser, IDC_BROWSE_LIST)) > 0 &&
               ::IsWindowEnabled(::GetDlgItem(browser, IDC_BROWSE_OK));
    };
    return browser && PumpUntil(listed, seconds(30)) ? browser : nullptr;
}

// Starts MenuHost.exe clicking "Demo" in the "Upload to" submenu for `path`, through the real
// menu handler. It waits in the extension's SendMessageW until the uploader has handled the
// hand-off, its folder confirmation included.
platform::win32::UniqueHandle StartMenuHost(const fs::path& path) {
    std::wstring commandLine = L"\"" + WindowsPathOf(ORVANE_MENU_HOST) + L"\" Demo \"" + path.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return platform::win32::UniqueHandle(nullptr);
    ::CloseHandle(started.hThread);
    return platform::win32::UniqueHandle(started.hProcess);
}

// Waits for the host process itself: the uploader it starts keeps any inherited pipe open.
void Finish(const platform::win32::UniqueHandle& host) {
    ASSERT_TRUE(host);
    EXPECT_EQ(::WaitForSingleObject(host.Get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(host.Get(), &code);
    EXPECT_EQ(code, 0u);
}

// A server that takes uploads slowly, so that a job is still under way when the user acts.
class SlowUploader : public FtpServerFixture {
protected:
    PyFtpdServer::Options ServerOptions() const override {
        PyFtpdServer::Options options;
        options.uploadRate = 100000;
        return options;
    }
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
        WriteUploaderPath(WindowsPathOf(ORVANE_PROGRAM));
        ChildProcess regsvr32(L"C:\\windows\\system32\\regsvr32.exe", {L"/s", WindowsPathOf(ORVANE_SHELLEXT_DLL)});
        ASSERT_EQ(regsvr32.WaitForExit(platform::Millis(60000)), 0);
    }
    // An uploader a failed test left running would keep ctest's output pipe open: asked to close,
    // then ended, with or without its window (this Wine prefix runs no other Orvane.exe).
    void TearDown() override {
        if (HWND main = ::FindWindowW(L"OrvaneWindow", L"1")) ::PostMessageW(main, WM_CLOSE, 0, 0);
        const platform::win32::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
            if (_wcsicmp(entry.szExeFile, L"Orvane.exe") != 0) continue;
            const platform::win32::UniqueHandle process(
                ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
            if (process && ::WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0) {
                ADD_FAILURE() << "Orvane.exe was still running";
                ::TerminateProcess(process.Get(), 1);
                ::WaitForSingleObject(process.Get(), 10000);
            }
        }
        Reset();
        FtpServerFixture::TearDown();
    }
    static void Reset() {
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
    }

    static void HandOff(const fs::path& path) { Finish(StartMenuHost(path)); }
    static std::size_t HandOffKeys() {
        auto key = platform::SystemRegistry().Open(platform::Hive::CurrentUser, kDestinationsPath + L"\\1",
                                                   platform::Access::Read);
        return key ? key->SubkeyNames().size() : 0;
    }
    // Below Z:\tmp, so that the 200-character name of the awkward tree stays within MAX_PATH on
    // both sides.
    TempDir local{L"Z:\\tmp"};
};

// The server stops in the middle of a file: the job is retried by itself and sends each file once
// and whole; a second hand-off waits behind it. A file deleted meanwhile is left out, and named
// before the program ends.
TEST_F(SlowUploader, ServerLostMidFileIsRetriedAndASecondHandOffWaitsBehindIt) {
    // About what follows the confirmation: the folder browser stays shut.
    auto options = platform::SystemRegistry().Create(platform::Hive::CurrentUser, L"Software\\Orvane\\Options");
    ASSERT_TRUE(options && platform::WriteDword(*options, L"SkipFolderConfirmation", 1));
    // Four slow files keep the four connections busy; gone.txt waits behind them in key order.
    for (const char* name : {"a.bin", "b.bin", "c.bin", "big.bin"}) WriteFile(local.Path() / "site" / name, 1'000'000, 'b');
    WriteFile(local.Path() / "site" / "gone.txt", 500);
    WriteFile(local.Path() / "other" / "index.html", 40);

    HandOff(local.Path() / "site");  // starts Orvane.exe 1 from "FullPath"
    HWND window = WaitForAnyWindow(L"OrvaneWindow", L"1", seconds(30));
    ASSERT_NE(window, nullptr);
    const fs::path big = Root() / "upload" / "site" / "big.bin";
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(big) && fs::file_size(big) > 0; }, seconds(30)));
    fs::remove(local.Path() / "site" / "gone.txt");
    Server().Stop();  // its connections drop in the middle of big.bin: the job fails
    const auto stopped = std::chrono::steady_clock::now();
    HandOff(local.Path() / "other");  // reaches the running uploader: no second program
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, seconds(5));
    EXPECT_EQ(::FindWindowW(L"OrvaneWindow", L"1"), window);
    std::string whyNot;
    ASSERT_TRUE(Server().StartAgain(whyNot)) << whyNot;
    EXPECT_FALSE(fs::exists(Root() / "upload" / "other"));  // it waits behind the retry

    // Without the report, the rest still shows whether the retry did its part.
    HWND report = WaitForAnyWindow(L"#32770", L"Orvane Upload", seconds(120));
    EXPECT_GT(std::chrono::steady_clock::now() - stopped, seconds(20));  // the first retry's wait
    EXPECT_NE(report, nullptr);
    if (report) {
        EXPECT_EQ(ItemText(report, 0xFFFF),
                  L"Upload to Demo is complete, but these items could not be read and were left out:\r\n" +
                      (local.Path() / "site" / "gone.txt").wstring() + L" (0x00000002 File not found)");
        PostClick(report, IDOK);
    }
    ASSERT_TRUE(UploaderGone(seconds(60)));  // the program ended after its last job
    // Every file there once and whole: the cut ones were continued or sent again.
    ExpectSameTree(local.Path() / "site", Root() / "upload" / "site");
    ExpectSameTree(local.Path() / "other", Root() / "upload" / "other");
    EXPECT_EQ(HandOffKeys(), 0u);  // each success removed its key
}

// Folder confirmation on, as users have it: the second hand-off's browser is still open when the
// first job ends, and the program waits for it. Foreign posts of our message numbers with made-up
// pointers change nothing. The second tree's names (UTF-8 beyond any ANSI code page among them)
// arrive exactly on pyftpdlib, which offers UTF8.
TEST_F(SlowUploader, HandOffConfirmedAfterTheRunningJobEndedIsUploadedToo) {
    constexpr std::uintmax_t size = 1'500'000;
    WriteFile(local.Path() / "site" / "big.bin", size, 'b');
    WriteFile(local.Path() / "site" / "a.txt", 1000);
    std::vector<AwkwardFile> names = AwkwardTree(true);
    std::erase_if(names, [](const AwkwardFile& file) { return file.size > 100000; });  // the server is slow
    WriteAwkwardTree(local.Path() / "other", names);

    const auto first = StartMenuHost(local.Path() / "site");
    HWND browser = WaitForListedBrowser();
    ASSERT_NE(browser, nullptr);
    PostClick(browser, IDC_BROWSE_OK);
    Finish(first);
    ASSERT_TRUE(PumpUntil([] { return !::FindWindowW(L"#32770", L"Browse Folder"); }, seconds(10)));
    const fs::path big = Root() / "upload" / "site" / "big.bin";
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(big) && fs::file_size(big) > 0; }, seconds(30)));

    for (HWND window : {::FindWindowW(L"#32770", L"FTP Folder Uploader"), ::FindWindowW(L"OrvaneWindow", L"1")}) {
        ASSERT_NE(window, nullptr);
        for (UINT message = 0x0800; message <= 0x080E; ++message)
            ::PostMessageW(window, message, static_cast<WPARAM>(0xDEAD0000), static_cast<LPARAM>(0x10));
    }

    const auto second = StartMenuHost(local.Path() / "other");
    browser = WaitForListedBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_LT(fs::file_size(big), size);  // the first job was still under way when it opened
    ASSERT_TRUE(PumpUntil([&] { return HandOffKeys() == 1; }, seconds(60)));  // the first job's key went
    EXPECT_TRUE(::IsWindow(browser));
    PostClick(browser, IDC_BROWSE_OK);
    Finish(second);

    ASSERT_TRUE(UploaderGone(seconds(60)));  // the program ended
    ExpectSameTree(local.Path() / "site", Root() / "upload" / "site");
    ExpectSameTree(local.Path() / "other", Root() / "upload" / "other");
    EXPECT_EQ(HandOffKeys(), 0u);
}

}  // namespace
