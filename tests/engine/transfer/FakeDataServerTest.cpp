// Uploads and listings against a scripted server for what real servers will not do: a 227 address
// that is not theirs, a transfer slower than the reply time-out, a reset in the middle of the
// file or of a listing, a final reply that never comes, a data port that nobody listens on, a
// listing without end; and over TLS, a listing that ends without the server's close alert.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandList.h"
#include "Orvane/engine/protocol/FTPCommandSequenceList.h"
#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"
#include "platform/ErrorCodes.h"
#include "tests/support/FakeFtpServer.h"
#include "tests/engine/transfer/TransferTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestListener.h"
#include "tests/support/TlsTestServer.h"

namespace {

namespace fs = std::filesystem;
using transfertest::Outcome;
using platform::Event;
using platform::EventReset;
using platform::Millis;

// Sends may stall for a while; a reply must come within a short time once the file is sent.
const FTPTimeouts kTimeouts{Millis(5000), Millis(400)};

std::string PassiveReply(const std::string& host, std::uint16_t port) {
    return "227 Entering Passive Mode (" + host + "," + std::to_string(port / 256) + "," +
           std::to_string(port % 256) + ").\r\n";
}

class FakeDataServer : public testing::Test {
protected:
    fs::path LocalFile(std::size_t size) {
        const fs::path path = m_local.Path() / "upload.bin";
        std::ofstream out(path, std::ios::binary);
        const std::string block(1 << 20, 'u');
        for (std::size_t left = size; left > 0; left -= std::min(left, block.size()))
            out.write(block.data(), static_cast<std::streamsize>(std::min(left, block.size())));
        return path;
    }

    using Sequence = std::function<FTPReply(CFTPControlConnection&, std::vector<std::wstring>&)>;

    // Starts the script (on the first call), connects, and runs `sequence` on a thread of its
    // own, as a task would.
    void Start(Sequence sequence, const FTPTimeouts& timeouts = kTimeouts) {
        if (!m_started) m_server.Start();
        m_started = true;
        m_connection = CFTPControlConnection::ConnectToServer(L"127.0.0.1", m_server.Port(), m_abort, timeouts);
        m_connection.ReadGreeting(m_abort, timeouts.receive);
        m_task = std::thread([this, sequence = std::move(sequence)] {
            std::vector<std::wstring> transcript;
            m_outcome = transfertest::OutcomeOf([&] { return sequence(m_connection, transcript); });
        });
    }

    void StartUpload(const fs::path& local) {
        Start([local, this](CFTPControlConnection& connection, std::vector<std::wstring>& transcript) {
            return CFTPCommandSequenceStor(connection, m_abort, transcript, kTimeouts)
                .Run(local.wstring(), "upload.bin", platform::WindowRef{});
        });
    }

    // The listing goes to m_listing. The final reply may wait for a long listing: 64 MiB takes
    // seconds under Wine.
    void StartListing() {
        static const FTPTimeouts kListTimeouts{Millis(5000), Millis(20000)};
        Start([this](CFTPControlConnection& connection, std::vector<std::wstring>& transcript) {
            return CFTPCommandSequenceList(connection, m_abort, transcript, kListTimeouts).Run(m_listing);
        }, kListTimeouts);
    }

    // The end of one run; the script may go on with another connection.
    Outcome Ended() {
        m_task.join();
        m_connection.Close();
        m_abort.Reset();  // a failed transfer stops its task
        return m_outcome;
    }

    Outcome Finish() {
        const Outcome outcome = Ended();
        EXPECT_TRUE(m_server.Finish());
        EXPECT_TRUE(m_server.Failures().empty()) << m_server.Failures().front();
        return outcome;
    }

    // Reads the data connection to its end; returns the byte count.
    std::size_t Drain(platform::Socket& data) {
        std::vector<char> buffer(1 << 16);
        std::size_t total = 0;
        while (std::size_t n = platform::Receive(data, buffer, m_testAbort, Millis(10000))) total += n;
        return total;
    }

    testsupport::FakeFtpServer m_server;
    testsupport::TestListener m_data;
    testsupport::TempDir m_local;
    Event m_abort{EventReset::Manual};
    Event m_testAbort{EventReset::Manual};
    CFTPControlConnection m_connection;
    bool m_started = false;
    std::thread m_task;
    Outcome m_outcome;
    std::wstring m_listing;
};

TEST_F(FakeDataServer, ForeignPassiveAddressIsReplacedAndASlowTransferStillSucceeds) {
    Event drained(EventReset::Manual);
    m_server.Send("220 ready\r\n")
        .On("PASV", PassiveReply("10,9,8,7", m_data.Port()))  // not reachable from here
        .On("STOR upload.bin", "150 Opening data connection.\r\n")
        .WaitFor(drained)
        .Send("226 Transfer complete.\r\n");
    const std::size_t size = 32u << 20;  // more than the socket buffers hold
    StartUpload(LocalFile(size));
    platform::Socket data = m_data.Accept(m_testAbort, Millis(5000));
    // The client's sends stall meanwhile: the transfer takes longer than the reply time-out.
    std::this_thread::sleep_for(kTimeouts.receive * 2);
    EXPECT_EQ(Drain(data), size);
    drained.Set();
    const Outcome outcome = Finish();
    ASSERT_TRUE(outcome.reply.has_value()) << outcome.error;
    EXPECT_EQ(outcome.reply->code, 226);
}

// Whatever the server answers after the reset, it has not got the file: a 226 only says that it
// kept what arrived. The file must fail, so that it stays in the job and is sent again whole.
TEST_F(FakeDataServer, ResetInTheMiddleOfTheFileFailsWithTheSendsErrorWhateverTheReply) {
    const char* const replies[] = {"426 Connection closed; transfer aborted.\r\n", "226 Transfer complete.\r\n"};
    std::vector<Event> resets;
    for (const char* reply : replies) {
        if (!resets.empty()) m_server.Accept();  // each row on a connection of its own
        resets.emplace_back(EventReset::Manual);
        m_server.Send("220 ready\r\n")
            .On("PASV", PassiveReply("127,0,0,1", m_data.Port()))
            .On("STOR upload.bin", "150 Opening data connection.\r\n")
            .WaitFor(resets.back())
            .Send(reply);
    }
    const fs::path local = LocalFile(32u << 20);
    for (std::size_t row = 0; row < resets.size(); ++row) {
        SCOPED_TRACE(replies[row]);
        StartUpload(local);
        {
            platform::Socket data = m_data.Accept(m_testAbort, Millis(5000));
            std::vector<char> some(8192);
            platform::Receive(data, some, m_testAbort, Millis(5000));
            data.CloseAbortive();
        }
        resets[row].Set();
        const Outcome outcome = Ended();
        EXPECT_FALSE(outcome.reply.has_value());
        EXPECT_EQ(outcome.error, platform::kErrorConnectionReset);
    }
    EXPECT_TRUE(m_server.Finish());
    EXPECT_EQ(m_server.Failures(), std::vector<std::string>{});
}

TEST_F(FakeDataServer, FinalReplyThatNeverComesIsATimeOutCountedFromTheEndOfTheFile) {
    m_server.Send("220 ready\r\n")
        .On("PASV", PassiveReply("127,0,0,1", m_data.Port()))
        .On("STOR upload.bin", "150 Opening data connection.\r\n");
    StartUpload(LocalFile(1000));
    platform::Socket data = m_data.Accept(m_testAbort, Millis(5000));
    EXPECT_EQ(Drain(data), 1000u);
    const Outcome outcome = Finish();
    EXPECT_EQ(outcome.error, platform::kErrorTimedOut);
}

TEST_F(FakeDataServer, DataPortThatNobodyListensOnEndsWithTheConnectError) {
    const std::uint16_t closed = testsupport::FreeLoopbackPort();
    m_server.Send("220 ready\r\n")
        .On("PASV", PassiveReply("127,0,0,1", closed))
        .Expect("STOR upload.bin");  // and never answers: the data connection is all we wait for
    StartUpload(LocalFile(1000));
    const Outcome outcome = Finish();
    EXPECT_EQ(outcome.error, platform::kErrorConnectionRefused);
}

// ---- Listings ----------------------------------------------------------------------------------

// The 226 is there before the data connection breaks (a server may say it is done as soon as it
// has written the listing): what arrived is a part of the folder, and the browser would show it
// as the whole.
TEST_F(FakeDataServer, ListingBrokenAfterTheFinalReplyFailsWithTheDataConnectionsError) {
#ifdef _WIN32
    // Under Wine a reset that comes before the receiving thread waits for data is often reported
    // as the end of the stream, so the break cannot be told from a complete listing there. The
    // code under test is the same in every build; the native runs cover it.
    GTEST_SKIP() << "Wine may report this reset as a graceful close";
#endif
    Event replied(EventReset::Manual);
    // One segment: Nagle's algorithm cannot hold the 226 back behind an unanswered 150.
    m_server.Send("220 ready\r\n")
        .On("PASV", PassiveReply("127,0,0,1", m_data.Port()))
        .On("LIST", "150 Here comes the listing.\r\n226 Transfer complete.\r\n")
        .Signal(replied);
    StartListing();
    platform::Socket data = m_data.Accept(m_testAbort, Millis(5000));
    const std::string part = "drwxr-xr-x 2 ftp ftp 0 Jan 01 00:00 first\r\n";
    platform::Send(data, part, m_testAbort, Millis(5000));
    ASSERT_TRUE(replied.Wait(Millis(5000)));
    data.CloseAbortive();
    const Outcome outcome = Finish();
    EXPECT_FALSE(outcome.reply.has_value());
    EXPECT_EQ(outcome.error, platform::kErrorConnectionReset);
}

// A server decides how long a listing streams: past the bound the listing ends with its own
// error, and the data connection is closed, instead of memory running out.
TEST_F(FakeDataServer, ListingWithoutEndStopsAtTheBound) {
    m_server.Send("220 ready\r\n")
        .On("PASV", PassiveReply("127,0,0,1", m_data.Port()))
        .On("LIST", "150 Here comes the listing.\r\n");  // and no final reply: it never ends
    StartListing();
    std::size_t sent = 0;
    {
        platform::Socket data = m_data.Accept(m_testAbort, Millis(5000));
        std::string lines;
        while (lines.size() < (1u << 20)) lines += "-rw-r--r-- 1 ftp ftp 0 Jan 01 00:00 another file\r\n";
        // Bounded here too, so that a client without a bound fails the test instead of hanging.
        try {
            while (sent < CFTPCommandList::kListingLimit * 2) {
                platform::Send(data, lines, m_testAbort, Millis(5000));
                sent += lines.size();
            }
        } catch (int error) {
            EXPECT_EQ(error, platform::kErrorConnectionReset);  // the client closed it
        }
    }
    const Outcome outcome = Finish();
    EXPECT_EQ(outcome.error, platform::kErrorMessageTooLong);
    EXPECT_GT(sent, CFTPCommandList::kListingLimit);
    EXPECT_LT(sent, CFTPCommandList::kListingLimit * 2);
    EXPECT_TRUE(m_listing.empty());
}

// Over TLS a listing is whole only when the server's close alert ends it: an end without one may
// be a cut, a reset that Wine reports as a graceful close included, and must not pass for the
// folder. The data come from the TLS test server's listing services; the control connection is
// the scripted server's.
TEST(TlsListing, EndsWholeOnlyWithTheServersCloseAlert) {
    std::string whyNot;
    bool unavailable = false;
    const auto tls = testsupport::TlsTestServer::Start(whyNot, unavailable);
    if (!tls) {
        if (unavailable) GTEST_SKIP() << whyNot;
        FAIL() << whyNot;
    }
    const platform::TlsCredentials credentials(L"localhost",
                                               testsupport::TlsTestServer::CertificateFacts("leaf").fingerprint);
    std::string expected;  // what tlsserver.py sends
    for (int i = 0; i < 400; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "-rw-r--r-- 1 ftp ftp %5d Jan 01 00:00 file %03d.txt\r\n", i * 7, i);
        expected += line;
    }
    const struct {
        const char* service;
        int error;
    } rows[] = {{"listing", 0}, {"listing-cut", platform::kErrorTlsTruncated}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.service);
        testsupport::FakeFtpServer control;
        control.Send("220 ready\r\n").On("LIST", "150 Here it comes.\r\n226 Done.\r\n");
        control.Start();
        Event abort(EventReset::Manual);
        CFTPControlConnection connection =
            CFTPControlConnection::ConnectToServer(L"127.0.0.1", control.Port(), abort, kTimeouts);
        connection.ReadGreeting(abort, kTimeouts.receive);
        CFTPCommandList list(tls->Endpoint(row.service), "LIST", abort, credentials);
        const Outcome outcome = transfertest::OutcomeOf([&] { return list.Execute(connection, abort, kTimeouts); });
        EXPECT_EQ(outcome.error, row.error);
        if (row.error == 0) {
            ASSERT_TRUE(outcome.reply.has_value());
            EXPECT_EQ(outcome.reply->code, 226);
            EXPECT_TRUE(list.Listing() == expected) << list.Listing().size() << " bytes";
        }
        connection.Close();
        EXPECT_TRUE(control.Finish());
    }
}

}  // namespace
