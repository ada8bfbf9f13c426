// Sessions over TLS (RFC 4217) through the engine, against pyftpdlib's TLS handler, which requires
// TLS for the login and for every data connection: a folder of awkward names listed and created
// in, and a certificate the system does not trust accepted only as the user chose it. The same
// tests run natively (OpenSSL) and under Wine (SChannel).
#include "Orvane/engine/tasks/FTPEngine.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "Orvane/engine/tasks/ErrorText.h"
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
class EncryptedSession : public testsupport::FtpServerFixture {
protected:
    PyFtpdServer::Options ServerOptions() const override {
        return {.tls = PyFtpdServer::Options::Tls::Explicit, .certificate = "self-signed"};
    }

    // TLS required, and the certificate trusted as the user would after the connection test.
    FTPSettings Trusting(std::wstring directory = L"") {
        FTPSettings destination = DestinationOn(Server(), std::move(directory));
        destination.encryption = FTPEncryption::ExplicitRequired;
        destination.trustedCertificate = TlsTestServer::CertificateFacts("self-signed").fingerprint;
        return destination;
    }

    std::unique_ptr<CTaskResult> Next() {
        if (!m_inbox.WaitForResults(++m_expected)) return nullptr;
        return std::move(m_inbox.results.back());
    }

    TaskInbox m_inbox;
    CFTPEngine m_engine{kTimeouts};
    std::size_t m_expected = 0;
};

TEST_F(EncryptedSession, CertificateIsAcceptedOnlyAsTheUserChoseIt) {
    const platform::Sha256Fingerprint shown = TlsTestServer::CertificateFacts("self-signed").fingerprint;

    // Unknown: refused with the certificate's own error, and the certificate comes along to be shown.
    FTPSettings unknown = Trusting();
    unknown.trustedCertificate.reset();
    m_engine.TestConnection(unknown, m_inbox.Ref());
    auto refused = Next();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->errorCode, static_cast<std::uint32_t>(platform::kErrorCertUntrustedRoot))
        << testing::PrintToString(FormatErrorTitle(refused->errorCode));
    ASSERT_TRUE(refused->certificate);
    EXPECT_EQ(refused->certificate->fingerprint, shown);
    EXPECT_TRUE(Sent(refused->transcript, L"USER").empty());

    // Trusted by its fingerprint: the session runs inside TLS, and the transcript says how.
    m_engine.TestConnection(Trusting(), m_inbox.Ref());
    auto accepted = Next();
    ASSERT_TRUE(accepted);
    EXPECT_TRUE(accepted->Succeeded()) << accepted->errorCode << " " << testing::PrintToString(accepted->transcript);
    for (const wchar_t* command : {L"AUTH TLS", L"PBSZ 0", L"PROT P", L"USER orvane"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(command)));
        EXPECT_EQ(Sent(accepted->transcript, command).size(), 1u);
    }
    EXPECT_TRUE(Contains(accepted->transcript, L", SHA-256 " + platform::FingerprintText(shown)));
    EXPECT_FALSE(Contains(accepted->transcript, L"s3cret"));

    // The server shows another certificate: not the one the user accepted.
    Server().UseCertificate("unknown-issuer");
    std::string whyNot;
    ASSERT_TRUE(Server().StartAgain(whyNot)) << whyNot;
    m_engine.TestConnection(Trusting(), m_inbox.Ref());
    auto changed = Next();
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->errorCode, static_cast<std::uint32_t>(platform::kErrorCertChanged));
    ASSERT_TRUE(changed->certificate);
    EXPECT_EQ(changed->certificate->fingerprint, TlsTestServer::CertificateFacts("unknown-issuer").fingerprint);
}

// A folder of awkward names lists whole over a TLS data connection, and a folder is made in it.
// (Uploads over TLS: EngineResume's rest_over_tls row; these names uploaded end to end under
// Wine: Uploader.AwkwardNamesArriveExactlyOnAServerThatOffersUtf8.)
TEST_F(EncryptedSession, AwkwardFolderListsAndAFolderIsCreatedInIt) {
    testsupport::WriteAwkwardTree(Root() / "awkward", testsupport::AwkwardTree(true));
    m_engine.GetDirectoryContent(Trusting(L"/awkward"), m_inbox.Ref());
    auto listed = Next();
    ASSERT_TRUE(listed);
    ASSERT_TRUE(m_inbox.listings.back()) << listed->errorCode;
    std::set<std::wstring> names, onDisk;
    for (const DirectoryEntry& entry : m_inbox.listings.back()->entries) names.insert(entry.name);
    for (const auto& entry : fs::directory_iterator(Root() / "awkward")) onDisk.insert(WideOf(entry.path().filename()));
    EXPECT_EQ(names, onDisk);

    const std::wstring folder = L"neu \u00e9t\u00e9 \u03a9";
    EXPECT_TRUE(m_engine.CreateDirectoryAndWait(Trusting(L"/awkward"), folder, kWait).Succeeded());
    EXPECT_TRUE(fs::is_directory(Root() / "awkward" / PathOf(folder)));
}

}  // namespace
