// What the dialogs show, computed without windows: result texts, the folder browser's paths,
// the server's certificate and the question whether to trust it.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "Orvane/engine/dialogs/DialogTexts.h"
#include "Orvane/engine/tasks/SecurityTexts.h"
#include "platform/ErrorCodes.h"

namespace {

TEST(TaskResultText, FailureShowsTheTranscriptAndTheErrorTexts) {
    const CTaskResult refused(0, FTPReply{530, L"Login incorrect."},
                              {L"220 ready\r\n", L"", L"USER x\r\n", L"530 Login incorrect.\r\n"});
    EXPECT_EQ(TaskResultText(refused, L"H\r\n"), L"H\r\n220 ready\r\nUSER x\r\n530 Login incorrect.\r\n");

    const CTaskResult unresolved(11001, FTPReply{}, {});
    EXPECT_EQ(TaskResultText(unresolved, L"H\r\n"),
              L"H\r\n0x00002af9 Host not found\r\nNo such host is known.");

    // Class 2 and no error code: the heading alone, whatever the transcript holds.
    const CTaskResult fine(0, FTPReply{226, L"ok"}, {L"LIST\r\n"});
    EXPECT_EQ(TaskResultText(fine, L"H"), L"H");
}

TEST(BrowsePath, GoingUpIsResolvedAndOtherPathsStay) {
    EXPECT_EQ(NormalizeBrowsePath(L"/pub/incoming/.."), L"/pub");
    EXPECT_EQ(NormalizeBrowsePath(L"pub/.."), L"");
    EXPECT_EQ(NormalizeBrowsePath(L"/.."), L"/..");  // three characters: left alone
    EXPECT_EQ(NormalizeBrowsePath(L"/pub/x.."), L"/pub/x..");
}

// Each fact on a line of its own; a name that holds line breaks cannot forge another line (the
// fingerprint's, say), and a date no calendar holds is not made up. The certificate is shown, and
// asked about, only when it was what failed: a handshake that broke off, or a result without a
// certificate, has nothing to trust.
TEST(CertificateText, ShowsEachFactOnItsOwnLineOnlyForARefusedCertificate) {
    using namespace std::chrono;
    platform::TlsCertificate certificate;
    certificate.subject = L"CN=ftp.example\r\nSHA-256 fingerprint: 00";
    certificate.issuer = L"CN=Example CA, O=Example";
    certificate.notBefore = sys_days{year{2025} / January / 2} + hours{3} + minutes{4} + seconds{5};
    certificate.notAfter = sys_seconds{seconds{std::numeric_limits<std::int64_t>::max()}};
    certificate.fingerprint.fill(0xAB);
    const std::wstring text = L"Subject: CN=ftp.example  SHA-256 fingerprint: 00\r\n"
                              L"Issuer: CN=Example CA, O=Example\r\n"
                              L"Valid from: 2025-01-02 03:04:05 UTC\r\n"
                              L"Valid to: ?\r\n"
                              L"SHA-256 fingerprint: " + platform::FingerprintText(certificate.fingerprint) + L"\r\n";
    EXPECT_EQ(CertificateText(certificate), text);

    CTaskResult untrusted(static_cast<std::uint32_t>(platform::kErrorCertUntrustedRoot), FTPReply{}, {});
    untrusted.certificate = certificate;
    EXPECT_NE(TaskResultText(untrusted, L"H\r\n").find(L"\r\n\r\n" + text), std::wstring::npos);
    EXPECT_NE(TrustQuestionText(untrusted).find(text), std::wstring::npos);

    CTaskResult brokenOff(static_cast<std::uint32_t>(platform::kErrorTlsAlgorithmMismatch), FTPReply{}, {});
    brokenOff.certificate = certificate;
    EXPECT_EQ(TaskResultText(brokenOff, L"H").find(L"Subject:"), std::wstring::npos);
    EXPECT_EQ(TrustQuestionText(brokenOff), L"");
    untrusted.certificate.reset();
    EXPECT_EQ(TrustQuestionText(untrusted), L"");
}

}  // namespace
