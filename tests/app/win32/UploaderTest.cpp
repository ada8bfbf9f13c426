// The whole road under Wine with real processes: MenuHost.exe plays the file manager and drives
// OrvaneShellExt.dll's menu, the extension starts Orvane.exe from "FullPath", and the uploader
// lets the user confirm the folder, stores the selection on pyftpdlib, queues a second hand-off,
// retries a failed job by itself, shows its error dialog, asks before the tray stops an upload,
// names a file it had to leave out, and ends after its last job.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Orvane/app/MainDlg.h"
#include "Orvane/resources/EngineResourceIds.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Registry.h"
#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/win32/DialogDriver.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using std::chrono::seconds;

void WriteFile(const fs::path& path, std::size_t size, char fill = 'x') {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

bool SameTree(const fs::path& local, const fs::path& remote) {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(local)) {
        const fs::path other = remote / fs::relative(entry.path(), local);
        if (entry.is_directory()) continue;
        std::ifstream a(entry.path(), std::ios::binary), b(other, std::ios::binary);
        if (!b || std::string(std::istreambuf_iterator<char>(a), {}) != std::string(std::istreambuf_iterator<char>(b), {}))
            return false;
        ++count;
    }
    std::size_t remoteCount = 0;
    for (const auto& entry : fs::recursive_directory_iterator(remote)) remoteCount += entry.is_regular_file();
    return count == remoteCount;
}

// A window of any process, by class and title.
HWND WaitForAnyWindow(const wchar_t* className, const wchar_t* title, seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (HWND window = ::FindWindowW(className, title)) return window;
        ::Sleep(50);
    }
    return nullptr;
}

bool WaitUntilGone(const wchar_t* className, const wchar_t* title, seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (::FindWindowW(className, title)) {
        if (std::chrono::steady_clock::now() > end) return false;
        ::Sleep(100);
    }
    return true;
}

// A hand-off's folder browser, once it has listed the starting folder ("OK" is enabled then).
HWND WaitForListedBrowser() {
    HWND browser = WaitForAnyWindow(L"#32770", L"Browse Folder", seconds(30));
    const auto end = std::chrono::steady_clock::now() + seconds(30);
    while (browser && std::chrono::steady_clock::now() < end) {
        if (ListView_GetItemCount(::GetDlgItem(browser, IDC_BROWSE_LIST)) > 0 &&
            ::IsWindowEnabled(::GetDlgItem(browser, IDC_BROWSE_OK)))
            return browser;
        ::Sleep(50);
    }
    return nullptr;
}

// MenuHost.exe running one hand-off. It waits in the extension's SendMessageW until the uploader
// has handled the hand-off, its folder confirmation included.
class MenuHostRun {
public:
    MenuHostRun(const std::wstring& item, const fs::path& path) {
        std::wstring commandLine = L"\"" + WindowsPathOf(ORVANE_MENU_HOST) + L"\" " + item + L" \"" + path.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        m_started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &m_process) != 0;
    }
    ~MenuHostRun() {
        if (!m_started) return;
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }
    MenuHostRun(const MenuHostRun&) = delete;
    MenuHostRun& operator=(const MenuHostRun&) = delete;

    // Waits for the host process itself: the uploader it starts keeps any inherited pipe open.
    void Finish() {
        ASSERT_TRUE(m_started);
        EXPECT_EQ(::WaitForSingleObject(m_process.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 1;
        ::GetExitCodeProcess(m_process.hProcess, &code);
        EXPECT_EQ(code, 0u);
    }

private:
    PROCESS_INFORMATION m_process{};
    bool m_started = false;
};

class Uploader : public FtpServerFixture {
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
        // Most tests here are about what follows the confirmation; the one about confirming
        // turns it on again (ConfirmFolders).
        SetSkipFolderConfirmation(1);
        WriteUploaderPath(WindowsPathOf(ORVANE_PROGRAM));
        ChildProcess regsvr32(L"C:\\windows\\system32\\regsvr32.exe", {L"/s", WindowsPathOf(ORVANE_SHELLEXT_DLL)});
        ASSERT_EQ(regsvr32.WaitForExit(platform::Millis(60000)), 0);
    }
    // An uploader that a failed test left running would keep later tests' windows company and
    // the test program's output open: asked to close, then ended.
    void TearDown() override {
        if (HWND main = ::FindWindowW(L"OrvaneWindow", L"1")) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(main, &owner);
            ::PostMessageW(main, WM_CLOSE, 0, 0);
            if (!WaitUntilGone(L"OrvaneWindow", L"1", seconds(10)))
                if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, owner)) {
                    ::TerminateProcess(process, 1);
                    ::CloseHandle(process);
                }
        }
        Reset();
        FtpServerFixture::TearDown();
    }
    static void Reset() {
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
        platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
    }

    static void SetSkipFolderConfirmation(std::uint32_t on) {
        auto options = platform::SystemRegistry().Create(platform::Hive::CurrentUser, L"Software\\Orvane\\Options");
        ASSERT_TRUE(options && platform::WriteDword(*options, L"SkipFolderConfirmation", on));
    }

    // What a user's click on "Demo" in the "Upload to" submenu does for `path`, through the real
    // menu handler.
    void HandOff(const fs::path& path) { MenuHostRun(L"Demo", path).Finish(); }
    std::size_t HandOffKeys() {
        auto key = platform::SystemRegistry().Open(platform::Hive::CurrentUser, kDestinationsPath + L"\\1",
                                                   platform::Access::Read);
        return key ? key->SubkeyNames().size() : 0;
    }

    TempDir local;
};

// A server that takes uploads slowly, so that a job is still under way when the user acts.
class SlowUploader : public Uploader {
protected:
    PyFtpdServer::Options ServerOptions() const override {
        PyFtpdServer::Options options;
        options.uploadRate = 100000;
        return options;
    }
};

std::uintmax_t SizeOf(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// A file where the job needs the folder "zzz": the job fails after the files before it.
void BlockFolder(const fs::path& root) {
    WriteFile(root / "upload" / "site" / "zzz", 1);
}

void MakeSite(const fs::path& local) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(local / "site" / name, 1000);
    WriteFile(local / "site" / "zzz" / "last.txt", 500);
}

TEST_F(SlowUploader, ServerLostMidFileIsRetriedAndASecondHandOffWaitsBehindIt) {
    for (const char* name : {"a.txt", "b.txt"}) WriteFile(local.Path() / "site" / name, 1000);
    WriteFile(local.Path() / "site" / "big.bin", 1'000'000, 'b');
    WriteFile(local.Path() / "site" / "zzz" / "last.txt", 500);
    WriteFile(local.Path() / "other" / "index.html", 40);
    WriteFile(local.Path() / "other" / "img" / "logo.png", 3000);
    WriteFile(local.Path() / "other" / "docs" / "empty.txt", 0);

    HandOff(local.Path() / "site");  // starts Orvane.exe 1 from "FullPath"
    HWND window = WaitForAnyWindow(L"OrvaneWindow", L"1", seconds(30));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return SizeOf(Root() / "upload" / "site" / "big.bin") > 0; }, seconds(30)));
    Server().Stop();  // its connections drop in the middle of big.bin: the job fails
    const auto stopped = std::chrono::steady_clock::now();
    HandOff(local.Path() / "other");  // reaches the running uploader: no second program
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, seconds(5));
    EXPECT_EQ(::FindWindowW(L"OrvaneWindow", L"1"), window);
    std::string whyNot;
    ASSERT_TRUE(Server().StartAgain(whyNot)) << whyNot;
    EXPECT_FALSE(fs::exists(Root() / "upload" / "other"));  // it waits behind the retry

    ASSERT_TRUE(WaitUntilGone(L"OrvaneWindow", L"1", seconds(120)));  // the program ended
    EXPECT_GT(std::chrono::steady_clock::now() - stopped, seconds(20));  // the first retry's wait
    // Every file there once and whole: the cut one was sent again over its remains.
    EXPECT_TRUE(SameTree(local.Path() / "site", Root() / "upload" / "site"));
    EXPECT_TRUE(SameTree(local.Path() / "other", Root() / "upload" / "other"));
    EXPECT_EQ(HandOffKeys(), 0u);  // each success removed its key
}

TEST_F(Uploader, ErrorDialogShowsHowFarTheJobGotAndItsLogAndStopEndsTheProgram) {
    // One connection: the share done in the dialog needs the failing folder to come last, and
    // several connections would go there at once.
    {
        auto key = platform::SystemRegistry().Open(platform::Hive::CurrentUser, kDestinationsPath + L"\\1",
                                                   platform::Access::ReadWrite);
        ASSERT_TRUE(key && platform::WriteDword(*key, L"Connections", 1));
    }
    MakeSite(local.Path());
    BlockFolder(Root());
    HandOff(local.Path() / "site");
    HWND main = WaitForAnyWindow(L"#32770", L"FTP Folder Uploader", seconds(30));
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(Root() / "upload" / "site" / "c.txt"); }, seconds(30)));
    ::Sleep(3000);  // the failure comes right after; a loaded machine may take a while

    // The tray's double click while the failure is pending shows the error dialog.
    ::PostMessageW(main, WM_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK);
    HWND error = WaitForAnyWindow(L"#32770", L"Error information", seconds(20));
    ASSERT_NE(error, nullptr);
    // The window exists before its text is set.
    std::wstring text;
    PumpUntil([&] { return !(text = ItemText(error, IDC_ERROR_TEXT)).empty(); }, seconds(10));
    EXPECT_EQ(text.rfind(L"The uploading was interrupted due to following error:\r\n", 0), 0u) << text;
    EXPECT_NE(text.find(L"after 85% of task was completed."), std::wstring::npos) << text;
    PostClick(error, IDC_SEE_LOG);
    HWND log = WaitForAnyWindow(L"#32770", L"FTP Task", seconds(20));
    ASSERT_NE(log, nullptr);
    std::wstring transcript;
    PumpUntil([&] { return !(transcript = ItemText(log, 5001)).empty(); }, seconds(10));
    EXPECT_NE(transcript.find(L"STOR c.txt"), std::wstring::npos) << transcript;
    PostClick(log, IDOK);
    ASSERT_TRUE(WaitUntilGone(L"#32770", L"FTP Task", seconds(10)));
    PostClick(error, IDC_STOP);
    ASSERT_TRUE(WaitUntilGone(L"OrvaneWindow", L"1", seconds(20)));
    EXPECT_EQ(HandOffKeys(), 1u);  // a stopped job leaves its key
    EXPECT_FALSE(fs::exists(Root() / "upload" / "site" / "zzz" / "last.txt"));
}

// A file deleted while its job runs is left out: the job still succeeds, and before the program
// ends it says which file it could not read.
TEST_F(SlowUploader, FileGoneDuringTheUploadIsLeftOutAndNamedBeforeTheProgramEnds) {
    // Four slow files keep the four connections busy; b.txt comes after them in key order.
    for (const char* name : {"a1.bin", "a2.bin", "a3.bin", "a4.bin"}) WriteFile(local.Path() / "site" / name, 1'000'000, 'a');
    WriteFile(local.Path() / "site" / "b.txt", 100);
    HandOff(local.Path() / "site");
    ASSERT_NE(WaitForAnyWindow(L"OrvaneWindow", L"1", seconds(30)), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return SizeOf(Root() / "upload" / "site" / "a1.bin") > 0; }, seconds(30)));
    fs::remove(local.Path() / "site" / "b.txt");  // while the files before it are still on their way

    HWND report = WaitForAnyWindow(L"#32770", L"Orvane Upload", seconds(60));
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(ItemText(report, 0xFFFF),
              L"Upload to Demo is complete, but these items could not be read and were left out:\r\n" +
                  (local.Path() / "site" / "b.txt").wstring() + L" (0x00000002 File not found)");
    EXPECT_EQ(HandOffKeys(), 0u);  // the job is done; only the user's reading is awaited
    EXPECT_NE(::FindWindowW(L"OrvaneWindow", L"1"), nullptr);
    PostClick(report, IDOK);
    ASSERT_TRUE(WaitUntilGone(L"OrvaneWindow", L"1", seconds(20)));
    EXPECT_EQ(SizeOf(Root() / "upload" / "site" / "a4.bin"), 1'000'000u);
    EXPECT_FALSE(fs::exists(Root() / "upload" / "site" / "b.txt"));
}

TEST_F(SlowUploader, TrayAsksBeforeStoppingAnUploadUnderWay) {
    constexpr std::uintmax_t size = 6'000'000;
    WriteFile(local.Path() / "site" / "big.bin", size, 'b');
    HandOff(local.Path() / "site");
    HWND main = WaitForAnyWindow(L"#32770", L"FTP Folder Uploader", seconds(30));
    ASSERT_NE(main, nullptr);
    const fs::path remote = Root() / "upload" / "site" / "big.bin";
    ASSERT_TRUE(PumpUntil([&] { return SizeOf(remote) > 0; }, seconds(30)));

    // A click on the icon opens its one-item menu; its item asks first.
    ::PostMessageW(main, WM_TRAY_NOTIFY, 0, WM_RBUTTONDOWN);
    HWND menu = WaitForAnyWindow(L"#32768", nullptr, seconds(10));
    ASSERT_NE(menu, nullptr);
    ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND question = WaitForAnyWindow(L"#32770", L"Orvane Upload", seconds(10));
    ASSERT_NE(question, nullptr);
    const std::wstring text = ItemText(question, 0xFFFF);
    EXPECT_EQ(text.rfind(L"Estimated time to complete upload is ", 0), 0u) << text;
    EXPECT_NE(text.find(L". Do you want to stop uploading?"), std::wstring::npos) << text;

    // No: the upload goes on.
    PostClick(question, IDNO);
    ASSERT_TRUE(WaitUntilGone(L"#32770", L"Orvane Upload", seconds(10)));
    const std::uintmax_t before = SizeOf(remote);
    // The server writes in blocks of 256 KiB, a couple of seconds apart at this rate.
    EXPECT_TRUE(PumpUntil([&] { return SizeOf(remote) > before; }, seconds(10)));
    EXPECT_NE(::FindWindowW(L"OrvaneWindow", L"1"), nullptr);

    // The double click asks the same; Yes ends the program and leaves the job for another time.
    ::PostMessageW(main, WM_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK);
    question = WaitForAnyWindow(L"#32770", L"Orvane Upload", seconds(10));
    ASSERT_NE(question, nullptr);
    PostClick(question, IDYES);
    ASSERT_TRUE(WaitUntilGone(L"OrvaneWindow", L"1", seconds(20)));
    EXPECT_EQ(HandOffKeys(), 1u);
    EXPECT_LT(SizeOf(remote), size);
}

// Folder confirmation on, as users have it. The browser's own message loop runs while the file
// manager waits: the second hand-off's browser is still open when the first job ends, and the
// program waits for it. Another program's posts of our message numbers with made-up pointers, to
// both windows, change nothing.
TEST_F(SlowUploader, HandOffConfirmedAfterTheRunningJobEndedIsUploadedToo) {
    SetSkipFolderConfirmation(0);
    constexpr std::uintmax_t size = 1'500'000;
    WriteFile(local.Path() / "site" / "big.bin", size, 'b');
    WriteFile(local.Path() / "site" / "a.txt", 1000);
    WriteFile(local.Path() / "other" / "index.html", 40);
    WriteFile(local.Path() / "other" / "img" / "logo.png", 3000);

    MenuHostRun first(L"Demo", local.Path() / "site");
    HWND browser = WaitForListedBrowser();
    ASSERT_NE(browser, nullptr);
    PostClick(browser, IDC_BROWSE_OK);
    first.Finish();
    ASSERT_TRUE(WaitUntilGone(L"#32770", L"Browse Folder", seconds(10)));
    const fs::path big = Root() / "upload" / "site" / "big.bin";
    ASSERT_TRUE(PumpUntil([&] { return SizeOf(big) > 0; }, seconds(30)));

    for (HWND window : {::FindWindowW(L"#32770", L"FTP Folder Uploader"), ::FindWindowW(L"OrvaneWindow", L"1")}) {
        ASSERT_NE(window, nullptr);
        for (UINT message = 0x0800; message <= 0x080E; ++message)
            ::PostMessageW(window, message, static_cast<WPARAM>(0xDEAD0000), static_cast<LPARAM>(0x10));
    }

    MenuHostRun second(L"Demo", local.Path() / "other");
    browser = WaitForListedBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_LT(SizeOf(big), size);  // the first job was still under way when it opened
    ASSERT_TRUE(PumpUntil([&] { return HandOffKeys() == 1; }, seconds(60)));  // the first job's key went
    EXPECT_TRUE(::IsWindow(browser));
    PostClick(browser, IDC_BROWSE_OK);
    second.Finish();

    ASSERT_TRUE(WaitUntilGone(L"OrvaneWindow", L"1", seconds(60)));  // the program ended
    EXPECT_TRUE(SameTree(local.Path() / "site", Root() / "upload" / "site"));
    EXPECT_TRUE(SameTree(local.Path() / "other", Root() / "upload" / "other"));
    EXPECT_EQ(HandOffKeys(), 0u);
}

}  // namespace
