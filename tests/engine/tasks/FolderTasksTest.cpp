// Folder tasks through the engine against pyftpdlib's TLS handler, which requires TLS for the
// login and for every data connection (RFC 4217): the same tests run natively (OpenSSL) and
// under Wine (SChannel).
#include "Orvane/engine/tasks/FTPEngine.h"

#include <gtest/gtest.h>

#include <set>

#include "Orvane/engine/tasks/ErrorText.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "platform/Tls.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/engine/tasks/UploadTestSupport.h"
#include "tests/support/AwkwardTree.h"
#include "tests/support/TlsTestServer.h"

namespace {

using namespace uploadtest;
using testsupport::PyFtpdServer;
using testsupport::TlsTestServer;

constexpr platform::Millis kWait{20000};

// A self-signed certificate: nothing vouches for it but the user.
class FolderTasks : public testsupport::FtpServerFixture {
protected:
    PyFtpdServer::Options ServerOptions() const override {
        return {.tls = PyFtpdServer::Options::Tls::Explicit, .certificate = "self-signed"};
    }

    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        fs::create_directories(Root() / "pub" / "alpha");
        fs::create_directories(Root() / "pub" / "beta gamma");
        WriteFile(Root() / "pub" / "readme.txt", 10);
    }

    // TLS required, and the certificate trusted as the user would after the connection test.
    FTPSettings Trusting(std::wstring directory = L"") {
        FTPSettings destination = DestinationOn(Server(), std::move(directory));
        destination.encryption = FTPEncryption::ExplicitRequired;
        destination.trustedCertificate = TlsTestServer::CertificateFacts("self-signed").fingerprint;
        return destination;
    }

    CTaskResult Create(const std::wstring& path) {
        return m_engine.CreateDirectoryAndWait(Trusting(L"/pub"), path, kWait);
    }
    CTaskResult Rename(const std::wstring& from, const std::wstring& to) {
        return m_engine.RenameDirectoryAndWait(Trusting(L"/pub"), from, to, kWait);
    }

    TaskInbox m_inbox;
    CFTPEngine m_engine{kTimeouts};
};

// Each refused folder gives way to its parent, one component at a time; a relative folder that
// does not exist gives the login folder, reported as the empty folder; a failed listing still
// reports, with no content. A folder of awkward names lists whole.
TEST_F(FolderTasks, ListingReportsTheFolderItReallyEntered) {
    const std::set<std::wstring> pub{L"alpha", L"beta gamma", L"readme.txt"};
    const fs::path awkwardFolder = Root() / PathOf(L"awkward \u03a9");  // entered in UTF-8
    testsupport::WriteAwkwardTree(awkwardFolder, testsupport::AwkwardTree(true));
    std::set<std::wstring> awkward;
    for (const auto& entry : fs::directory_iterator(awkwardFolder)) awkward.insert(WideOf(entry.path().filename()));
    FTPSettings wrongPassword = Trusting();
    wrongPassword.password = L"not the password";
    const struct {
        FTPSettings destination;
        const wchar_t* entered;  // null: the listing fails
        std::set<std::wstring> names;
        std::vector<std::wstring> cwds;
    } rows[] = {
        {Trusting(L"/pub//"), L"/pub", pub, {L"CWD /pub"}},
        {Trusting(L"/pub/gone/deeper"), L"/pub", pub, {L"CWD /pub/gone/deeper", L"CWD /pub/gone", L"CWD /pub"}},
        {Trusting(L"nothere"), L"", {L"awkward \u03a9", L"pub"}, {L"CWD nothere"}},
        {Trusting(L"/awkward \u03a9"), L"/awkward \u03a9", awkward, {L"CWD /awkward \u03a9"}},
        {wrongPassword, nullptr, {}, {}},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(testing::PrintToString(rows[i].destination.directory));
        m_engine.GetDirectoryContent(rows[i].destination, m_inbox.Ref());
        ASSERT_TRUE(m_inbox.WaitForResults(i + 1));
        ASSERT_EQ(m_inbox.listings.size(), i + 1);
        const CTaskResult& result = *m_inbox.results.back();
        const DirectoryContent* content = m_inbox.listings.back().get();
        EXPECT_EQ(Sent(result.transcript, L"CWD"), rows[i].cwds);
        if (!rows[i].entered) {
            EXPECT_EQ(result.reply.code, 530);
            EXPECT_EQ(content, nullptr);
            continue;
        }
        EXPECT_TRUE(result.Succeeded()) << result.errorCode << " " << result.reply.code;
        ASSERT_TRUE(content);
        EXPECT_EQ(content->folder, rows[i].entered);
        std::set<std::wstring> names;
        for (const DirectoryEntry& entry : content->entries) names.insert(entry.name);
        EXPECT_EQ(names, rows[i].names);
    }
}

TEST_F(FolderTasks, CreateMakesTheFolderBesideExistingOnesAndRenameMovesIt) {
    // A created component is not entered: the next one is made beside it.
    CTaskResult created = Create(L"new\\inner");
    EXPECT_TRUE(created.Succeeded()) << created.errorCode << " " << created.reply.code;
    EXPECT_EQ(Sent(created.transcript, L"MKD"), (std::vector<std::wstring>{L"MKD new", L"MKD inner"}));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "new"));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "inner"));

    // An existing component is entered, so a path below it is created where it belongs.
    EXPECT_TRUE(Create(L"alpha\\leaf").Succeeded());
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "alpha" / "leaf"));

    // A name that is taken by a file can be neither made nor entered.
    CTaskResult refused = Create(L"readme.txt");
    EXPECT_EQ(refused.errorCode, 0u);
    EXPECT_EQ(refused.reply.code / 100, 5);

    // pyftpdlib offers UTF-8: a name that no ANSI code page holds arrives as it is (and its reply
    // is read in UTF-8), and only ill-formed text (a lone surrogate) has no bytes to go out as.
    CTaskResult chinese = Create(L"\u4e2d\u6587");
    EXPECT_TRUE(chinese.Succeeded());
    EXPECT_NE(chinese.reply.text.find(L"\u4e2d\u6587"), std::wstring::npos) << chinese.reply.code;
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / PathOf(L"\u4e2d\u6587")));
    EXPECT_EQ(Create(std::wstring{L'a', static_cast<wchar_t>(0xDC00)}).errorCode, 1113u);

    // A rename moves the folder with what it holds; the server's refusals are the result.
    WriteFile(Root() / "pub" / "alpha" / "inside.txt", 7);
    CTaskResult renamed = Rename(L"alpha", L"omega");
    EXPECT_TRUE(renamed.Succeeded()) << renamed.errorCode << " " << renamed.reply.code;
    EXPECT_FALSE(fs::exists(Root() / "pub" / "alpha"));
    EXPECT_EQ(ReadFile(Root() / "pub" / "omega" / "inside.txt").size(), 7u);

    CTaskResult missing = Rename(L"alpha", L"delta");
    EXPECT_EQ(missing.errorCode, 0u);
    EXPECT_EQ(missing.reply.code / 100, 5);

    // Onto a folder that exists and holds files: refused at the RNTO.
    WriteFile(Root() / "pub" / "beta gamma" / "kept.txt", 5);
    CTaskResult taken = Rename(L"omega", L"beta gamma");
    EXPECT_EQ(taken.reply.code / 100, 5);
    EXPECT_EQ(Sent(taken.transcript, L"RNTO"), (std::vector<std::wstring>{L"RNTO beta gamma"}));
    EXPECT_EQ(ReadFile(Root() / "pub" / "beta gamma" / "kept.txt").size(), 5u);
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "omega"));
}

TEST_F(FolderTasks, CertificateIsAcceptedOnlyAsTheUserChoseIt) {
    const platform::Sha256Fingerprint shown = TlsTestServer::CertificateFacts("self-signed").fingerprint;

    // Unknown: refused with the certificate's own error, and the certificate comes along to be shown.
    FTPSettings unknown = Trusting();
    unknown.trustedCertificate.reset();
    m_engine.TestConnection(unknown, m_inbox.Ref());
    ASSERT_TRUE(m_inbox.WaitForResults(1));
    const CTaskResult& refused = *m_inbox.results[0];
    EXPECT_EQ(refused.errorCode, static_cast<std::uint32_t>(platform::kErrorCertUntrustedRoot))
        << testing::PrintToString(FormatErrorTitle(refused.errorCode));
    ASSERT_TRUE(refused.certificate);
    EXPECT_EQ(refused.certificate->fingerprint, shown);
    EXPECT_TRUE(Sent(refused.transcript, L"USER").empty());

    // Trusted by its fingerprint: the session runs inside TLS, and the transcript says how.
    m_engine.TestConnection(Trusting(), m_inbox.Ref());
    ASSERT_TRUE(m_inbox.WaitForResults(2));
    const CTaskResult& accepted = *m_inbox.results[1];
    EXPECT_TRUE(accepted.Succeeded()) << accepted.errorCode << " " << testing::PrintToString(accepted.transcript);
    for (const wchar_t* command : {L"AUTH TLS", L"PBSZ 0", L"PROT P", L"USER orvane"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(command)));
        EXPECT_EQ(Sent(accepted.transcript, command).size(), 1u);
    }
    EXPECT_TRUE(Contains(accepted.transcript, L", SHA-256 " + platform::FingerprintText(shown)));
    EXPECT_FALSE(Contains(accepted.transcript, L"s3cret"));
    EXPECT_FALSE(Contains(accepted.transcript, L"QUIT"));  // its lines are not the user's

    // The server shows another certificate: not the one the user accepted.
    Server().UseCertificate("unknown-issuer");
    std::string whyNot;
    ASSERT_TRUE(Server().StartAgain(whyNot)) << whyNot;
    m_engine.TestConnection(Trusting(), m_inbox.Ref());
    ASSERT_TRUE(m_inbox.WaitForResults(3));
    const CTaskResult& changed = *m_inbox.results[2];
    EXPECT_EQ(changed.errorCode, static_cast<std::uint32_t>(platform::kErrorCertChanged));
    ASSERT_TRUE(changed.certificate);
    EXPECT_EQ(changed.certificate->fingerprint, TlsTestServer::CertificateFacts("unknown-issuer").fingerprint);
}

}  // namespace
