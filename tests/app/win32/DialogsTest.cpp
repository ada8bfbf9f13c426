// The application's dialogs as a user meets them: the destinations list and its buttons, the
// properties dialog's checks and its Server field, the connection test and the folder browser
// against a real server, a server certificate trusted from either of them; and the hidden
// upload-mode dialog's notification icon.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include "Orvane/app/AboutDlg.h"
#include "Orvane/app/DlgFTPDestination.h"
#include "Orvane/app/DlgTestConnection.h"
#include "Orvane/app/MainDlg.h"
#include "Orvane/resources/EngineResourceIds.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Registry.h"
#include "store/DestinationStore.h"
#include "platform/Tls.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TlsTestServer.h"
#include "tests/support/win32/DialogDriver.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using testsupport::TlsTestServer;

void ResetStore() {
    platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
    platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
}

void Save(std::int32_t number, const std::wstring& name, const std::wstring& server, const std::wstring& folder) {
    FTPDestination destination = DestinationStore().GetDestination(number);
    destination.displayName = name;
    destination.server = server;
    destination.directory = folder;
    destination.userName = L"user";
    destination.password = L"pass";
    DestinationStore().SaveDestination(destination);
}

// The text of a message box (its one static control with text).
std::wstring MessageBoxText(HWND box) {
    std::wstring found;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM parameter) -> BOOL {
            wchar_t className[32] = {};
            ::GetClassNameW(child, className, 32);
            if (_wcsicmp(className, L"Static") != 0 || WindowText(child).empty()) return TRUE;
            *reinterpret_cast<std::wstring*>(parameter) = WindowText(child);
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void SetField(HWND dialog, int id, const std::wstring& text) {
    ::SendDlgItemMessageW(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Enabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != 0;
}

class Destinations : public testing::Test {
protected:
    Destinations() { ResetStore(); }
    ~Destinations() override { ResetStore(); }

    HWND List() const { return ::GetDlgItem(main.Handle(), IDC_DESTINATIONS); }
    std::wstring Cell(int row, int column) const {
        wchar_t text[261] = {};
        ListView_GetItemText(List(), row, column, text, 261);
        return text;
    }
    void Click(int row) {
        SelectListItem(List(), row);
        SendClick(main.Handle(), IDC_DESTINATIONS);
    }
    // Clicks a button that opens a modal dialog, and lets `answer` (on a second thread) deal
    // with that dialog until it returns.
    void ClickWithModal(int button, const std::function<void()>& answer) {
        std::atomic<bool> done{false};
        Helper helper([&] {
            answer();
            done = true;
        });
        PostClick(main.Handle(), button);
        PumpUntil([&] { return done.load(); });
        PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    }

    CMainDlg main{std::nullopt};
};

TEST_F(Destinations, ListAndButtonsFollowTheSelectionAndTheDefault) {
    Save(1, L"Work", L"work.example", L"");
    Save(2, L"Home", L"home.example", L"/pub");
    DestinationStore().SetDefaultDestination(2);
    ASSERT_TRUE(main.Create(nullptr));
    ::ShowWindow(main.Handle(), SW_SHOW);
    const HWND dialog = main.Handle();
    EXPECT_EQ(WindowText(dialog), L"FTP Folder Uploader");
    EXPECT_EQ(ListTexts(List()), (std::vector<std::wstring>{L"Work", L"Home"}));
    EXPECT_EQ(Cell(1, 1), L"home.example");
    EXPECT_EQ(Cell(1, 2), L"/pub");
    EXPECT_FALSE(Enabled(dialog, IDC_REMOVE) || Enabled(dialog, IDC_PROPERTIES) || Enabled(dialog, IDC_SET_DEFAULT));
    Screenshot(dialog, "destinations");

    Click(0);
    EXPECT_TRUE(Enabled(dialog, IDC_REMOVE) && Enabled(dialog, IDC_PROPERTIES) && Enabled(dialog, IDC_SET_DEFAULT));
    Click(1);  // the default
    EXPECT_FALSE(Enabled(dialog, IDC_SET_DEFAULT));
    SelectListItem(List(), 0);  // the keyboard alone does not update the buttons
    EXPECT_FALSE(Enabled(dialog, IDC_SET_DEFAULT));

    Click(0);
    PostClick(dialog, IDC_SET_DEFAULT);
    PumpUntil([&] { return !Enabled(dialog, IDC_SET_DEFAULT); });
    EXPECT_EQ(DestinationStore().GetDefaultDestination(), 1);

    // Removing the last row selects the new last row; removing the only one leaves nothing.
    Click(1);
    PostClick(dialog, IDC_REMOVE);
    PumpUntil([&] { return ListTexts(List()).size() == 1; });
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_SELECTED), 0);
    EXPECT_EQ(DestinationStore().LoadAllDestinations().size(), 1u);
    PostClick(dialog, IDC_REMOVE);
    PumpUntil([&] { return ListTexts(List()).empty(); });
    EXPECT_FALSE(Enabled(dialog, IDC_REMOVE) || Enabled(dialog, IDC_PROPERTIES) || Enabled(dialog, IDC_SET_DEFAULT));
    EXPECT_EQ(DestinationStore().GetDefaultDestination(), 0);
}

TEST_F(Destinations, AddSavesWhatThePropertiesDialogAccepted) {
    ASSERT_TRUE(main.Create(nullptr));
    ::ShowWindow(main.Handle(), SW_SHOW);
    ClickWithModal(IDC_ADD, [] {
        HWND properties = WaitForWindow(L"FTP Destination");
        if (!properties) return;
        SetField(properties, IDC_DISPLAY_NAME, L"Site");
        SetField(properties, IDC_SERVER, L"ftp://alice:pw@files.example:2121/pub/");
        Screenshot(properties, "destination-properties");
        PostClick(properties, IDOK);
    });
    ASSERT_EQ(ListTexts(List()), (std::vector<std::wstring>{L"Site"}));
    EXPECT_EQ(Cell(0, 1), L"files.example");
    EXPECT_EQ(Cell(0, 2), L"pub");
    const FTPDestination saved = DestinationStore().GetDestination(1);
    EXPECT_EQ(saved.port, 2121);
    EXPECT_EQ(saved.userName, L"alice");
    EXPECT_EQ(saved.password, L"pw");

    // Cancelled: no row, but the numbered key stays in the store.
    ClickWithModal(IDC_ADD, [] {
        if (HWND properties = WaitForWindow(L"FTP Destination")) PostClick(properties, IDCANCEL);
    });
    EXPECT_EQ(ListTexts(List()).size(), 1u);
    EXPECT_EQ(DestinationStore().LoadAllDestinations().size(), 2u);

    ClickWithModal(IDC_ABOUT, [] {
        HWND about = WaitForWindow(L"About");
        if (!about) return;
        Screenshot(about, "about");
        PostClick(about, IDOK);
    });
}

TEST(DestinationDialog, OkNamesTheFirstEmptyFieldAndCancelKeepsTheRecord) {
    FTPSettings destination;
    destination.displayName = L"Old";
    destination.server = L"old.example";
    destination.userName = L"u";
    destination.password = L"p";
    std::vector<std::wstring> messages;
    std::vector<int> focus;
    std::vector<std::wstring> afterCancel;
    INT_PTR result = 0;
    {
        Helper helper([&] {
            HWND dialog = WaitForWindow(L"FTP Destination");
            if (!dialog) return;
            const auto answer = [&] {
                HWND box = WaitForWindow(L"FTP Directory destination");
                if (!box) return;
                messages.push_back(MessageBoxText(box));
                PostClick(box, IDOK);
                for (int i = 0; i < 100 && ::IsWindow(box); ++i) ::Sleep(20);
                focus.push_back(::GetDlgCtrlID(FocusOf(dialog)));
            };
            SetField(dialog, IDC_DISPLAY_NAME, L"");
            PostClick(dialog, IDOK);
            answer();
            SetField(dialog, IDC_DISPLAY_NAME, L"New");
            SetField(dialog, IDC_SERVER, L"a@b@host");
            PostClick(dialog, IDOK);
            answer();
            SetField(dialog, IDC_SERVER, L"u:p:q@host");
            PostClick(dialog, IDOK);
            answer();
            PostClick(dialog, IDCANCEL);
            for (int i = 0; i < 100 && ::IsWindow(dialog); ++i) {
                if (afterCancel.empty()) afterCancel = {ItemText(dialog, IDC_DISPLAY_NAME), ItemText(dialog, IDC_SERVER)};
                ::Sleep(20);
            }
        });
        CDlgFTPDestination dialog(destination);
        result = dialog.DoModal(nullptr);
    }
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"Display Name field must be filled in.",
                                                   L"Incorrect usage of '@' symbol",
                                                   L"Incorrect usage of ':' symbol"}));
    EXPECT_EQ(focus, (std::vector<int>{IDC_DISPLAY_NAME, IDC_SERVER, IDC_SERVER}));
    EXPECT_EQ(destination.displayName, L"Old");  // nothing read into the record was kept
    EXPECT_EQ(destination.server, L"old.example");
}

// What the uploader asks of the notification area, recorded instead of shown.
struct TrayCall {
    DWORD message;
    NOTIFYICONDATAW data;
};
std::vector<TrayCall> g_trayCalls;

BOOL WINAPI RecordTray(DWORD message, PNOTIFYICONDATAW data) {
    g_trayCalls.push_back({message, *data});
    return TRUE;
}

std::vector<TrayCall> TrayAdds() {
    std::vector<TrayCall> adds;
    for (const TrayCall& call : g_trayCalls)
        if (call.message == NIM_ADD) adds.push_back(call);
    return adds;
}

TEST(UploaderTray, IconIsAddedAgainForANewShellAndRemovedFirstWhenTheProgramEnds) {
    g_trayCalls.clear();
    CMainDlg main(std::wstring(L"99"), &RecordTray);
    ASSERT_TRUE(main.Create(nullptr));
    ASSERT_EQ(TrayAdds().size(), 1u);

    // The shell restarted: every top-level window hears of it, the hand-off window too.
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    PumpUntil([] { return TrayAdds().size() > 1; }, std::chrono::seconds(10));
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    const std::vector<TrayCall> adds = TrayAdds();
    ASSERT_EQ(adds.size(), 2u);
    EXPECT_EQ(adds[1].data.hIcon, adds[0].data.hIcon);
    EXPECT_EQ(adds[1].data.hWnd, main.Handle());
    EXPECT_TRUE(adds[1].data.uFlags & NIF_MESSAGE);

    // Another program closes the hand-off window: the program ends as a stop does, and the icon
    // goes at once, not after the engine has stopped.
    HWND handoff = ::FindWindowW(L"OrvaneWindow", L"99");
    ASSERT_NE(handoff, nullptr);
    ::SendMessageW(handoff, WM_CLOSE, 0, 0);
    EXPECT_EQ(main.Handle(), nullptr);
    EXPECT_FALSE(::IsWindow(handoff));
    EXPECT_EQ(g_trayCalls.back().message, static_cast<DWORD>(NIM_DELETE));
    MSG quit;
    EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

class WithServer : public FtpServerFixture {
protected:
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        fs::create_directories(Root() / "pub");
        destination.server = L"127.0.0.1";
        destination.port = Port();
        destination.userName = L"orvane";
        destination.password = L"s3cret";
    }
    FTPSettings destination;
};

TEST_F(WithServer, ConnectionTestReportsSuccessAndRefusal) {
    {
        CDlgTestConnection test(destination);
        ASSERT_TRUE(test.Create(nullptr));
        ::ShowWindow(test.Handle(), SW_SHOW);
        ASSERT_TRUE(PumpUntil([&] { return ItemText(test.Handle(), IDC_TEST_TEXT).rfind(L"Connection", 0) == 0; }));
        EXPECT_EQ(ItemText(test.Handle(), IDC_TEST_TEXT), L"Connection succeed.\r\n\r\n");
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(test.Handle(), IDC_TEST_INFO_ICON)));
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(test.Handle(), IDC_TEST_ERROR_ICON)));
        Screenshot(test.Handle(), "connection-test");
        // Only OK closes it.
        ::SendMessageW(test.Handle(), WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(::IsWindow(test.Handle()));
    }
    destination.password = L"wrong";
    CDlgTestConnection test(destination);
    ASSERT_TRUE(test.Create(nullptr));
    ::ShowWindow(test.Handle(), SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return ItemText(test.Handle(), IDC_TEST_TEXT).rfind(L"Connection", 0) == 0; }));
    const std::wstring text = ItemText(test.Handle(), IDC_TEST_TEXT);
    EXPECT_EQ(text.rfind(L"Connection failed. See below\r\n\r\n", 0), 0u);
    EXPECT_NE(text.find(L"PASS"), std::wstring::npos);
    EXPECT_NE(text.find(L"530"), std::wstring::npos);
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(test.Handle(), IDC_TEST_ERROR_ICON)));
    Screenshot(test.Handle(), "connection-test-failed");
}

TEST_F(WithServer, BrowsePutsTheChosenFolderAndOnlyTheHostIntoTheFields) {
    FTPSettings edited;
    std::wstring server, folder;
    {
        Helper helper([&] {
            HWND dialog = WaitForWindow(L"FTP Destination");
            if (!dialog) return;
            SetField(dialog, IDC_SERVER, L"127.0.0.1:" + std::to_wstring(Port()));
            SetField(dialog, IDC_USERNAME, L"orvane");
            SetField(dialog, IDC_PASSWORD, L"s3cret");
            PostClick(dialog, IDC_BROWSE);
            HWND browser = WaitForWindow(L"Browse Folder");
            if (!browser) return;
            HWND list = ::GetDlgItem(browser, IDC_BROWSE_LIST);
            for (int i = 0; i < 500 && ListTexts(list) != std::vector<std::wstring>{L"pub"}; ++i) ::Sleep(20);
            SendItemActivate(browser, IDC_BROWSE_LIST, 0);
            for (int i = 0; i < 500 && ItemText(browser, IDC_BROWSE_ADDRESS).find(L"/pub") == std::wstring::npos; ++i)
                ::Sleep(20);
            PostClick(browser, IDC_BROWSE_OK);
            for (int i = 0; i < 100 && ::IsWindow(browser); ++i) ::Sleep(20);
            if (::IsWindow(browser)) PostClick(browser, IDCANCEL);  // never leave the test hanging
            server = ItemText(dialog, IDC_SERVER);
            folder = ItemText(dialog, IDC_DIRECTORY);
            PostClick(dialog, IDCANCEL);
        });
        CDlgFTPDestination dialog(edited);
        dialog.DoModal(nullptr);
    }
    EXPECT_EQ(server, L"127.0.0.1");
    EXPECT_EQ(folder, L"pub");
}

// A server whose self-signed certificate nothing vouches for, and later replaces.
class WithTlsServer : public FtpServerFixture {
protected:
    PyFtpdServer::Options ServerOptions() const override {
        PyFtpdServer::Options options;
        options.tls = PyFtpdServer::Options::Tls::Explicit;
        options.certificate = "self-signed";
        return options;
    }
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (ServerStarted()) fs::create_directories(Root() / "pub");
    }

    // Waits for the question, keeps its text and answers Yes.
    static std::wstring TrustWhenAsked() {
        HWND box = WaitForWindow(L"Server certificate");
        if (!box) return L"";
        const std::wstring text = MessageBoxText(box);
        Screenshot(box, "trust-certificate");
        PostClick(box, IDYES);
        for (int i = 0; i < 100 && ::IsWindow(box); ++i) ::Sleep(20);
        return text;
    }

    // Runs the connection test to its end; its text.
    static std::wstring Test(HWND dialog, const std::function<void()>& whenAsked) {
        PostClick(dialog, IDC_TEST);
        HWND test = WaitForWindow(L"FTP Connection Test");
        if (!test) return L"";
        if (whenAsked) whenAsked();
        std::wstring text;
        for (int i = 0; i < 1000 && text.rfind(L"Connection succeed", 0) != 0; ++i) {
            ::Sleep(20);
            text = ItemText(test, IDC_TEST_TEXT);
        }
        PostClick(test, IDOK);
        for (int i = 0; i < 100 && ::IsWindow(test); ++i) ::Sleep(20);
        return text;
    }
};

// The folder browser and the connection test of the properties dialog ask before they trust a
// certificate; the answer is kept with the destination on OK, and a replaced certificate is
// asked about again as changed.
TEST_F(WithTlsServer, CertificateTrustedInTheBrowserAndTheTestIsKeptForOk) {
    FTPSettings edited;
    std::wstring askedInBrowser, listed, afterTrust, askedAgain;
    INT_PTR result = 0;
    {
        Helper helper([&] {
            HWND dialog = WaitForWindow(L"FTP Destination");
            if (!dialog) return;
            SetField(dialog, IDC_DISPLAY_NAME, L"Encrypted");
            SetField(dialog, IDC_SERVER, L"127.0.0.1:" + std::to_wstring(Port()));
            SetField(dialog, IDC_USERNAME, L"orvane");
            SetField(dialog, IDC_PASSWORD, L"s3cret");
            ::SendDlgItemMessageW(dialog, IDC_ENCRYPTION, CB_SETCURSEL, 2, 0);  // TLS required
            PostClick(dialog, IDC_BROWSE);
            HWND browser = WaitForWindow(L"Browse Folder");
            if (!browser) return;
            askedInBrowser = TrustWhenAsked();
            HWND list = ::GetDlgItem(browser, IDC_BROWSE_LIST);
            for (int i = 0; i < 500 && ListTexts(list) != std::vector<std::wstring>{L"pub"}; ++i) ::Sleep(20);
            listed = ListTexts(list).empty() ? L"" : ListTexts(list).front();
            PostClick(browser, IDCANCEL);
            for (int i = 0; i < 100 && ::IsWindow(browser); ++i) ::Sleep(20);
            afterTrust = Test(dialog, nullptr);  // accepted without a question
            Server().UseCertificate("unknown-issuer");
            std::string whyNot;
            if (Server().StartAgain(whyNot)) afterTrust += Test(dialog, [&] { askedAgain = TrustWhenAsked(); });
            PostClick(dialog, IDOK);
        });
        CDlgFTPDestination dialog(edited);
        result = dialog.DoModal(nullptr);
    }
    EXPECT_EQ(result, IDOK);
    const platform::Sha256Fingerprint first = TlsTestServer::CertificateFacts("self-signed").fingerprint;
    const platform::Sha256Fingerprint replaced = TlsTestServer::CertificateFacts("unknown-issuer").fingerprint;
    EXPECT_NE(askedInBrowser.find(platform::FingerprintText(first)), std::wstring::npos) << testing::PrintToString(askedInBrowser);
    EXPECT_EQ(listed, L"pub");
    EXPECT_EQ(afterTrust, L"Connection succeed.\r\n\r\nConnection succeed.\r\n\r\n");
    EXPECT_EQ(askedAgain.rfind(L"0xa00b0001 Certificate changed\r\n", 0), 0u) << testing::PrintToString(askedAgain);
    EXPECT_NE(askedAgain.find(platform::FingerprintText(replaced)), std::wstring::npos);
    EXPECT_EQ(edited.trustedCertificate, replaced);
    EXPECT_EQ(edited.encryption, FTPEncryption::ExplicitRequired);
}

}  // namespace
