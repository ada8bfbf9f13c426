#include "platform/TlsStream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TestListener.h"
#include "tests/support/TlsTestServer.h"

namespace {

using platform::Event;
using platform::EventReset;
using platform::Millis;
using platform::TlsCredentials;
using platform::TlsStream;
using platform::TlsTrust;
using testsupport::TlsTestServer;
using platformtest::ErrorOf;
using platformtest::kGenerous;
using Clock = std::chrono::steady_clock;

TEST(TlsFingerprint, ShowsUpperCasePairsAndParsesOnlyWholeFingerprints) {
    // Lower case without separators, as some tools print it.
    const auto bytes = platform::ParseFingerprint(L"052a4f7499bee3082d52779cc1e60b30557a9fc4e90e33587da2c7ec11365b80");
    ASSERT_TRUE(bytes);
    const std::wstring text = platform::FingerprintText(*bytes);
    EXPECT_EQ(text, L"05:2A:4F:74:99:BE:E3:08:2D:52:77:9C:C1:E6:0B:30:55:7A:9F:C4:E9:0E:33:58:7D:A2:C7:EC:11:36:5B:80");
    const std::wstring refused[] = {text.substr(0, text.size() - 1), text + L"0", text + L"::",
                                    L"G" + text.substr(1), L":" + text, std::wstring()};
    for (const std::wstring& bad : refused) {
        SCOPED_TRACE(platform::ToAnsi(bad));
        EXPECT_EQ(platform::ParseFingerprint(bad), std::nullopt);
    }
}

// Each row is one server and what the client must make of it. After a certificate fault the
// certificate is still there to be shown to the user.
TEST(TlsServer, EachServerGetsItsVerdictAndDataCrossByteForByte) {
    std::string whyNot;
    bool unavailable = false;
    const std::unique_ptr<TlsTestServer> server = TlsTestServer::Start(whyNot, unavailable);
    if (!server && unavailable) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(server) << whyNot;
    const testsupport::TrustedTestAuthority trusted(TlsTestServer::CertificateFolder());
    Event never(EventReset::Manual);
    const auto open = [&](const std::string& service, const TlsCredentials& credentials) {
        return TlsStream(platform::ConnectTcp(server->Endpoint(service), never, kGenerous), credentials);
    };
    struct Case {
        const char* service;
        const wchar_t* target;
        const char* pinned;       // the certificate whose fingerprint is pinned, if any
        int error;
        TlsTrust trust;
        const char* certificate;  // the one the server shows
    };
    const Case cases[] = {
        {"trusted", L"localhost", nullptr, 0, TlsTrust::Trusted, "leaf"},
        {"trusted", L"127.0.0.1", nullptr, 0, TlsTrust::Trusted, "leaf"},  // the address SAN
        {"trusted", L"127.0.0.2", nullptr, platform::kErrorCertNameMismatch, {}, "leaf"},
        {"other-name", L"localhost", nullptr, platform::kErrorCertNameMismatch, {}, "other-name"},
        {"expired", L"localhost", nullptr, platform::kErrorCertExpired, {}, "expired"},
        {"expired", L"127.0.0.2", nullptr, platform::kErrorCertExpired, {}, "expired"},  // the period comes first
        {"self-signed", L"localhost", nullptr, platform::kErrorCertUntrustedRoot, {}, "self-signed"},
        {"unknown-issuer", L"localhost", nullptr, platform::kErrorCertChaining, {}, "unknown-issuer"},
        {"self-signed", L"localhost", "self-signed", 0, TlsTrust::Pinned, "self-signed"},
        {"expired", L"localhost", "expired", 0, TlsTrust::Pinned, "expired"},
        {"self-signed", L"localhost", "leaf", platform::kErrorCertChanged, {}, "self-signed"},
        // A certificate the system vouches for needs no pin, even a stale one.
        {"trusted", L"localhost", "self-signed", 0, TlsTrust::Trusted, "leaf"},
        // A server that speaks only TLS 1.0 and 1.1 answers our hello with a protocol alert.
        {"tls11", L"localhost", nullptr, platform::kErrorTlsAlgorithmMismatch, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.service) + " as " + platform::ToAnsi(c.target) + " pinned " +
                     (c.pinned ? c.pinned : "nothing"));
        TlsCredentials credentials(c.target, c.pinned ? std::optional(TlsTestServer::CertificateFacts(c.pinned).fingerprint)
                                                      : std::nullopt);
        TlsStream stream = open(c.service, credentials);
        int error = c.error;
        // Wine 8's SSL policy compares an address with the certificate's DNS names only, never
        // with its address SANs.
        if (testsupport::RunningUnderWine() && std::wstring(c.target) == L"127.0.0.1") error = platform::kErrorCertNameMismatch;
        EXPECT_EQ(ErrorOf([&] { stream.Handshake(never, kGenerous); }), error);
        if (error == 0) {
            EXPECT_EQ(stream.Trust(), c.trust);
            stream.Close(never, kGenerous);
        }
        if (c.certificate) {
            ASSERT_TRUE(stream.PeerCertificate());
            EXPECT_EQ(stream.PeerCertificate()->fingerprint, TlsTestServer::CertificateFacts(c.certificate).fingerprint);
        }
    }
    // Wine 8 takes SCH_CREDENTIALS but ignores the protocols they disable: its handshake completes
    // at TLS 1.1 and the stream refuses it afterwards. Elsewhere the hello offers nothing older.
    const char* refusal = testsupport::RunningUnderWine() ? "tls11 handshake TLSv1.1" : "tls11 handshake-failed";
    EXPECT_TRUE(server->WaitForLogLine(refusal, kGenerous)) << server->Log();

    // The trusted server's facts, and data both ways across record boundaries.
    const TlsCredentials credentials(L"localhost");
    TlsStream stream = open("trusted", credentials);
    stream.Handshake(never, kGenerous);
    EXPECT_GE(stream.Info().protocol, platform::kTls12);
    EXPECT_EQ(stream.Info().cipherSuite.rfind(L"TLS_", 0), 0u) << platform::ToAnsi(stream.Info().cipherSuite);

    const TlsTestServer::Facts expected = TlsTestServer::CertificateFacts("leaf");
    ASSERT_TRUE(stream.PeerCertificate());
    const platform::TlsCertificate& shown = *stream.PeerCertificate();
    EXPECT_EQ(shown.subject, L"CN=localhost, O=Orvane Tests");
    EXPECT_EQ(shown.issuer, L"CN=Orvane Test CA, O=Orvane Tests");
    EXPECT_EQ(shown.notBefore, expected.notBefore);
    EXPECT_EQ(shown.notAfter, expected.notAfter);

    // One byte, exactly one full record, one byte past it, and many records in one call.
    for (std::size_t size : {std::size_t(1), std::size_t(16384), std::size_t(16385), std::size_t(300000)}) {
        SCOPED_TRACE(size);
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 251);
        stream.Send(data, never, kGenerous);
        std::string received;
        char chunk[7000];  // no multiple of the record size
        for (std::size_t n = 1; received.size() < size && n != 0; received.append(chunk, n))
            n = stream.Receive(chunk, never, kGenerous);
        EXPECT_TRUE(received == data);
    }

    stream.Close(never, kGenerous);
    EXPECT_TRUE(stream.CloseAlertReceived());  // the server's answer to ours
    EXPECT_TRUE(server->WaitForLogLine("trusted close-alert", kGenerous)) << server->Log();
}

// A server that accepts the connection and never answers the hello: the handshake ends after its
// limit, or at once when Stop comes, either before the wait or during it.
TEST(TlsSilentServer, HandshakeTimesOutWith10060AndAnAbortEndsItWith995) {
    testsupport::TestListener listener;
    const TlsCredentials credentials(L"localhost");
    for (const bool aborted : {false, true}) {
        SCOPED_TRACE(aborted ? "aborted" : "timed out");
        Event abort(EventReset::Manual);
        TlsStream stream(platform::ConnectTcp(listener.Endpoint(), abort, kGenerous), credentials);
        const platform::Socket accepted = listener.Accept(abort, kGenerous);
        std::jthread aborter([&] {
            std::this_thread::sleep_for(Millis(100));  // either order must end in 995
            if (aborted) abort.Set();
        });
        const auto start = Clock::now();
        const int error = ErrorOf([&] { stream.Handshake(abort, aborted ? Millis(30000) : Millis(300)); });
        const auto waited = Clock::now() - start;
        EXPECT_EQ(error, aborted ? platform::kErrorAborted : platform::kErrorTimedOut);
        EXPECT_GE(waited, aborted ? Millis(0) : Millis(250));
        EXPECT_LT(waited, Millis(5000));
    }
}

}  // namespace
