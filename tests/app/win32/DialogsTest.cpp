// The uploader's tray icon across a shell restart and a foreign WM_CLOSE; the destination dialog's
// certificate questions (browser, connection test, a replaced certificate) against a real server.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "Orvane/app/DlgFTPDestination.h"
#include "Orvane/app/MainDlg.h"
#include "Orvane/resources/EngineResourceIds.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Tls.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TlsTestServer.h"
#include "tests/support/win32/DialogDriver.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

// What the uploader asks of the notification area, recorded instead of shown.
std::vector<std::pair<DWORD, NOTIFYICONDATAW>> g_trayCalls;

BOOL WINAPI RecordTray(DWORD message, PNOTIFYICONDATAW data) {
    g_trayCalls.emplace_back(message, *data);
    return TRUE;
}

std::size_t TrayAdds() {
    return std::count_if(g_trayCalls.begin(), g_trayCalls.end(), [](const auto& call) { return call.first == NIM_ADD; });
}

TEST(UploaderTray, IconIsAddedAgainForANewShellAndRemovedFirstWhenTheProgramEnds) {
    g_trayCalls.clear();
    CMainDlg main(std::wstring(L"99"), &RecordTray);
    ASSERT_TRUE(main.Create(nullptr));
    ASSERT_EQ(TrayAdds(), 1u);

    // The shell restarted: every top-level window hears of it, the hand-off window too.
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_TRUE(PumpUntil([] { return TrayAdds() > 1; }, std::chrono::seconds(10)));
    ASSERT_EQ(TrayAdds(), 2u);
    EXPECT_EQ(g_trayCalls.back().second.hWnd, main.Handle());
    EXPECT_TRUE(g_trayCalls.back().second.uFlags & NIF_MESSAGE);

    // Another program closes the hand-off window: the program ends as a stop does, and the icon
    // goes at once, not after the engine has stopped.
    HWND handoff = ::FindWindowW(L"OrvaneWindow", L"99");
    ASSERT_NE(handoff, nullptr);
    ::SendMessageW(handoff, WM_CLOSE, 0, 0);
    EXPECT_EQ(main.Handle(), nullptr);
    EXPECT_FALSE(::IsWindow(handoff));
    EXPECT_EQ(g_trayCalls.back().first, static_cast<DWORD>(NIM_DELETE));
    MSG quit;
    EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A server whose self-signed certificate nothing vouches for, and later replaces.
class WithTlsServer : public FtpServerFixture {
protected:
    PyFtpdServer::Options ServerOptions() const override {
        return {.tls = PyFtpdServer::Options::Tls::Explicit, .certificate = "self-signed"};
    }
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (ServerStarted()) fs::create_directories(Root() / "pub");
    }

    // The question's text, answered Yes.
    static std::wstring TrustWhenAsked() {
        HWND box = WaitForWindow(L"Server certificate");
        if (!box) return L"";
        const std::wstring text = ItemText(box, 0xFFFF);  // a message box's text
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
        PumpUntil([&] { return (text = ItemText(test, IDC_TEST_TEXT)).rfind(L"Connection succeed", 0) == 0; });
        PostClick(test, IDOK);
        for (int i = 0; i < 100 && ::IsWindow(test); ++i) ::Sleep(20);
        return text;
    }
};

TEST_F(WithTlsServer, CertificateTrustedInTheBrowserAndTheTestIsKeptForOk) {
    FTPSettings edited;  // the fields as the user fills them
    edited.displayName = L"Encrypted";
    edited.server = L"127.0.0.1:" + std::to_wstring(Port());
    edited.userName = L"orvane";
    edited.password = L"s3cret";
    edited.encryption = FTPEncryption::ExplicitRequired;
    std::wstring askedInBrowser, afterTrust, askedAgain;
    std::vector<std::wstring> fields;
    INT_PTR result = 0;
    {
        Helper helper([&] {
            HWND dialog = WaitForWindow(L"FTP Destination");
            if (!dialog) return;
            PostClick(dialog, IDC_BROWSE);
            HWND browser = WaitForWindow(L"Browse Folder");
            if (!browser) return;
            askedInBrowser = TrustWhenAsked();
            PostClick(browser, IDCANCEL);
            for (int i = 0; i < 100 && ::IsWindow(browser); ++i) ::Sleep(20);
            afterTrust = Test(dialog, nullptr);  // accepted without a question
            Server().UseCertificate("unknown-issuer");
            std::string whyNot;
            if (Server().StartAgain(whyNot)) afterTrust += Test(dialog, [&] { askedAgain = TrustWhenAsked(); });
            // A folder chosen in the browser; the server's port must stay in the Server field.
            PostClick(dialog, IDC_BROWSE);
            if (!(browser = WaitForWindow(L"Browse Folder"))) return;
            HWND list = ::GetDlgItem(browser, IDC_BROWSE_LIST);
            for (int i = 0; i < 500 && ListTexts(list) != std::vector<std::wstring>{L"pub"}; ++i) ::Sleep(20);
            SendItemActivate(browser, IDC_BROWSE_LIST, 0);
            for (int i = 0; i < 500 && ItemText(browser, IDC_BROWSE_ADDRESS).find(L"/pub") == std::wstring::npos; ++i)
                ::Sleep(20);
            PostClick(browser, IDC_BROWSE_OK);
            for (int i = 0; i < 100 && ::IsWindow(browser); ++i) ::Sleep(20);
            if (::IsWindow(browser)) PostClick(browser, IDCANCEL);  // never leave the test hanging
            fields = {ItemText(dialog, IDC_SERVER), ItemText(dialog, IDC_DIRECTORY)};
            PostClick(dialog, IDOK);
        });
        CDlgFTPDestination dialog(edited);
        result = dialog.DoModal(nullptr);
    }
    EXPECT_EQ(result, IDOK);
    const platform::Sha256Fingerprint first = TlsTestServer::CertificateFacts("self-signed").fingerprint;
    const platform::Sha256Fingerprint replaced = TlsTestServer::CertificateFacts("unknown-issuer").fingerprint;
    EXPECT_NE(askedInBrowser.find(platform::FingerprintText(first)), std::wstring::npos) << testing::PrintToString(askedInBrowser);
    EXPECT_EQ(fields, (std::vector<std::wstring>{L"127.0.0.1:" + std::to_wstring(Port()), L"pub"}));
    EXPECT_EQ(afterTrust, L"Connection succeed.\r\n\r\nConnection succeed.\r\n\r\n");
    EXPECT_EQ(askedAgain.rfind(L"0xa00b0001 Certificate changed\r\n", 0), 0u) << testing::PrintToString(askedAgain);
    EXPECT_NE(askedAgain.find(platform::FingerprintText(replaced)), std::wstring::npos);
    EXPECT_EQ(edited.trustedCertificate, replaced);
    EXPECT_EQ(edited.encryption, FTPEncryption::ExplicitRequired);
    EXPECT_EQ(edited.port, Port());
}

}  // namespace
