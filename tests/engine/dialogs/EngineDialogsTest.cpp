// The engine's dialogs as real windows, against a real server and a scripted slow one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>

#include "Orvane/engine/dialogs/FTPEngineResLibDlgBrowseFolder.h"
#include "Orvane/engine/dialogs/FTPEngineResLibDlgTaskResult.h"
#include "Orvane/resources/EngineResourceIds.h"
#include "platform/Window.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/support/FakeFtpServer.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/win32/DialogDriver.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

class Browser : public FtpServerFixture {
protected:
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        fs::create_directories(Root() / "pub" / "incoming");
        fs::create_directories(Root() / "docs");
        fs::create_directories(Root() / L"\u03a9 caf\u00e9");
        std::ofstream(Root() / "readme.txt") << "hello";
        destination.server = L"127.0.0.1";
        destination.port = Port();
        destination.userName = L"orvane";
        destination.password = L"s3cret";
    }

    HWND List(HWND dialog) { return ::GetDlgItem(dialog, IDC_BROWSE_LIST); }
    // Types into the label being edited and presses Enter, as a user names a folder.
    bool TypeLabel(HWND dialog, const wchar_t* text) {
        HWND edit = ListView_GetEditControl(List(dialog));
        if (!edit) return false;
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        ::SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        PumpUntil([] { return false; }, std::chrono::milliseconds(100));
        return ListView_GetEditControl(List(dialog)) == nullptr;
    }

    FTPSettings destination;
};

TEST_F(Browser, WalksDownCreatesAndRenamesWhereItStandsGoesUpAndShowsARefusedLogin) {
    CFTPEngineResLibDlgBrowseFolder browser(destination, true);
    ASSERT_TRUE(browser.Create(nullptr));
    ::ShowWindow(browser.Handle(), SW_SHOW);
    const HWND dialog = browser.Handle();
    const std::wstring root = L"ftp://127.0.0.1:" + std::to_wstring(Port()) + L"/";
    ASSERT_TRUE(PumpUntil([&] { return ItemText(dialog, IDC_BROWSE_ADDRESS) == root; }));
    // no "..", no file
    ASSERT_EQ(ListTexts(List(dialog)), (std::vector<std::wstring>{L"docs", L"pub", L"\u03a9 caf\u00e9"}));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_BROWSE_OK)));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, IDC_BROWSE_TROUBLESHOOT)));
    Screenshot(dialog, "browse-folder");

    SendItemActivate(dialog, IDC_BROWSE_LIST, 1);  // "pub"
    // The record names "pub" from here on, while the listing is on its way: the entries shown
    // (the login folder's) can be neither renamed nor added to, before any message has come.
    ListView_EditLabel(List(dialog), 0);
    ::SendMessageW(dialog, WM_COMMAND, IDC_BROWSE_NEW_FOLDER, 0);
    EXPECT_EQ(ListView_GetEditControl(List(dialog)), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ItemText(dialog, IDC_BROWSE_ADDRESS) == root + L"pub"; }));
    ASSERT_EQ(ListTexts(List(dialog)), (std::vector<std::wstring>{L"..", L"incoming"}));
    EXPECT_EQ(destination.directory, L"pub");

    // pyftpdlib offers UTF-8: a name beyond any ANSI code page is created as it is.
    PostClick(dialog, IDC_BROWSE_NEW_FOLDER);
    ASSERT_TRUE(PumpUntil([&] { return ListTexts(List(dialog)).size() == 3; }));
    ASSERT_TRUE(TypeLabel(dialog, L"made \u0416"));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / L"made \u0416"));
    EXPECT_EQ(ListTexts(List(dialog)), (std::vector<std::wstring>{L"..", L"incoming", L"made \u0416"}));

    ListView_EditLabel(List(dialog), 2);  // what F2 does on the selected entry
    ASSERT_TRUE(TypeLabel(dialog, L"renamed"));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "renamed"));
    EXPECT_FALSE(fs::exists(Root() / "pub" / L"made \u0416"));
    EXPECT_EQ(ListTexts(List(dialog)).at(2), L"renamed");

    // The parent entry cannot be renamed.
    ListView_EditLabel(List(dialog), 0);
    EXPECT_EQ(ListView_GetEditControl(List(dialog)), nullptr);

    // A new folder left without a name goes away without a word to the server.
    PostClick(dialog, IDC_BROWSE_NEW_FOLDER);
    ASSERT_TRUE(PumpUntil([&] { return ListTexts(List(dialog)).size() == 4; }));
    ASSERT_TRUE(TypeLabel(dialog, L""));
    EXPECT_EQ(ListTexts(List(dialog)).size(), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Root() / "pub"), fs::directory_iterator()), 2);

    SendItemActivate(dialog, IDC_BROWSE_LIST, 0);  // ".."
    ASSERT_TRUE(PumpUntil([&] { return ItemText(dialog, IDC_BROWSE_ADDRESS) == root; }));
    EXPECT_EQ(destination.directory, L"");
    EXPECT_EQ(ListTexts(List(dialog)), (std::vector<std::wstring>{L"docs", L"pub", L"\u03a9 caf\u00e9"}));

    // A refused login: the result dialog shows the transcript with the error icon; the browser is
    // left with nothing to choose, and the record keeps the last good folder: none was listed.
    destination.password = L"wrong";
    destination.directory = L"pub";
    std::wstring shown;
    bool errorIcon = false, infoIcon = true;
    CFTPEngineResLibDlgBrowseFolder refused(destination, false);
    {
        Helper helper([&] {
            if (HWND result = WaitForWindow(L"FTP Task")) {
                PumpUntil([&] { return !ItemText(result, IDC_RESULT_TEXT).empty(); });
                errorIcon = ::IsWindowVisible(::GetDlgItem(result, IDC_RESULT_ERROR_ICON));
                infoIcon = ::IsWindowVisible(::GetDlgItem(result, IDC_RESULT_INFO_ICON));
                Screenshot(result, "task-result");
                shown = ItemText(result, IDC_RESULT_TEXT);  // last: the test goes on once it is set
                PostClick(result, IDOK);
            }
        });
        ASSERT_TRUE(refused.Create(nullptr));
        ASSERT_TRUE(PumpUntil([&] { return !shown.empty(); }));
    }
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(shown.rfind(L"Connection failed. See below\r\n\r\n", 0), 0u);
    EXPECT_NE(shown.find(L"530"), std::wstring::npos);
    EXPECT_TRUE(errorIcon);
    EXPECT_FALSE(infoIcon);
    EXPECT_TRUE(ListTexts(List(refused.Handle())).empty());
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(refused.Handle(), IDC_BROWSE_OK)));
    EXPECT_EQ(destination.directory, L"");
}

// A create that the server answers only after a while, and the user presses New Folder, Ctrl+N
// and F2 meanwhile: nothing starts a second blocking call (whose wait would take the first one's
// result, the first reporting a time-out), and the first reports what the server did.
TEST(BrowserBlockingCall, ListAndButtonsAreInertWhileACreateWaits) {
    testsupport::FakeFtpServer server;
    platform::Event reached(platform::EventReset::Manual), release(platform::EventReset::Manual);
    ScriptLogin(server)
        .On("CWD pub", "250 Directory changed.\r\n")
        .On("PASV", server.PassiveReply())
        .On("LIST", "150 Here comes the listing.\r\n")
        .SendData("drwxr-xr-x 2 ftp ftp 0 Jan 01 00:00 incoming\r\n")
        .Send("226 Transfer complete.\r\n");
    ScriptQuit(server, true);
    ScriptLogin(server).On("CWD pub", "250 Directory changed.\r\n").Expect("MKD made").Signal(reached).WaitFor(release);
    ScriptQuit(server.Send("257 \"made\" created.\r\n"));
    server.Start();

    FTPSettings destination = Destination(server.Port(), L"pub");
    CFTPEngineResLibDlgBrowseFolder browser(destination, false);
    ASSERT_TRUE(browser.Create(nullptr));
    ::ShowWindow(browser.Handle(), SW_SHOW);
    const HWND dialog = browser.Handle();
    const HWND list = ::GetDlgItem(dialog, IDC_BROWSE_LIST);
    ASSERT_TRUE(PumpUntil([&] { return !ItemText(dialog, IDC_BROWSE_ADDRESS).empty(); }));
    ASSERT_EQ(ListTexts(list), (std::vector<std::wstring>{L"..", L"incoming"}));
    PostClick(dialog, IDC_BROWSE_NEW_FOLDER);
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetEditControl(list) != nullptr; }));

    // Messages to one thread come out in the order they were posted: once the marker's has been
    // handled, so have the clicks and keys before it.
    platform::Event handled(platform::EventReset::Manual);
    platform::MessageWindow marker(L"OrvaneTestMarker", [&](unsigned message, std::uintptr_t, std::intptr_t) {
        if (message != WM_APP) return false;
        handled.Set();
        return true;
    });
    // The list keeps the edit of the label being named until its end has been handled.
    const HWND naming = ListView_GetEditControl(list);
    bool editOpened = true;
    int entries = 0;
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;  // held for the N below
    ::SetKeyboardState(keys);
    {
        Helper user([&] {
            if (!reached.Wait(platform::Millis(20000))) return;
            PostClick(dialog, IDC_BROWSE_NEW_FOLDER);
            ::PostMessageW(list, WM_KEYDOWN, 'N', 0);
            ::PostMessageW(list, WM_KEYDOWN, VK_F2, 0);
            platform::PostToWindow(marker.Ref(), WM_APP, 0, 0);
            if (handled.Wait(platform::Millis(20000))) {
                const HWND edit = ListView_GetEditControl(list);
                editOpened = edit != nullptr && edit != naming;
                entries = ListView_GetItemCount(list);
            }
            release.Set();
        });
        // Ends the edit: the create starts, and its wait runs the messages until the release.
        ::SendMessageW(naming, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"made"));
        ::SendMessageW(naming, WM_KEYDOWN, VK_RETURN, 0);
    }
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    EXPECT_FALSE(editOpened);
    EXPECT_EQ(entries, 3);
    EXPECT_EQ(ListTexts(list), (std::vector<std::wstring>{L"..", L"incoming", L"made"}));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_BROWSE_NEW_FOLDER)));
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

}  // namespace
