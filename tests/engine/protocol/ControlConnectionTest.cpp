#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "Orvane/engine/protocol/FTPControlConnection.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"
#include "tests/engine/protocol/ProtocolTestSupport.h"
#include "tests/support/FakeFtpServer.h"

namespace {

using namespace protocoltest;
using platform::Event;
using platform::EventReset;
using platform::Millis;
using testsupport::FakeFtpServer;

class ControlConnection : public ::testing::Test {
protected:
    void TearDown() override {
        m_connection.Close();
        m_server.Finish();
        EXPECT_EQ(m_server.Failures(), std::vector<std::string>());
    }

    void Open(const FTPTimeouts& timeouts = kTimeouts) {
        m_server.Start();
        m_connection = Connect(m_server.Port(), m_abort, timeouts);
    }
    FTPReply Command(const std::string& line) {
        m_connection.SendCommand(line + "\r\n", {}, m_abort, kTimeouts.send);
        return m_connection.ReadReply(m_abort, kTimeouts.receive);
    }

    FakeFtpServer m_server;
    Event m_abort{EventReset::Manual};
    CFTPControlConnection m_connection;
};

// ---- whole replies however they arrive ---------------------------------------------------------

TEST_F(ControlConnection, GreetingInOneSegmentKeepsItsFirstCodeAndAllItsLines) {
    m_server.Send("220-Welcome to the\r\n220-test server\r\n220 ready\r\n");
    Open();
    const FTPReply greeting = m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(greeting.code, 220);
    EXPECT_EQ(greeting.text, L"220-Welcome to the\r\n220-test server\r\n220 ready\r\n");
}

TEST_F(ControlConnection, RepliesSentOneBytePerSegmentArriveWholeAndInStep) {
    m_server.Send("220-Hello\r\n220 there\r\n", 1)
        .Expect("USER bob")
        .Send("331 Password required for bob\r\n", 1)
        .Expect("PASS x")
        .Send("230-Welcome\r\n230-Quota 1 GB\r\n230 Logged in\r\n", 1);
    Open();
    const FTPReply greeting = m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(greeting.code, 220);
    EXPECT_EQ(greeting.text, L"220-Hello\r\n220 there\r\n") << "a split greeting is not cut short";

    FTPReply reply = Command("USER bob");
    EXPECT_EQ(reply.code, 331);
    EXPECT_EQ(reply.text, L"331 Password required for bob\r\n");
    reply = Command("PASS x");
    EXPECT_EQ(reply.code, 230);
    EXPECT_EQ(reply.text, L"230 Logged in\r\n");
}

TEST_F(ControlConnection, ReplyAcrossThe128ByteWindowIsReadWhole) {
    // The first 128 bytes carry no line end, and the reply's end follows in a segment of its own.
    const std::string head = "257 \"" + std::string(123, 'd');
    ASSERT_EQ(head.size(), 128u);
    m_server.Send("220 ready\r\n").Expect("MKD x").Send(head).Send("\" created\r\n").Expect("NOOP").Send(
        "200 ok\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    FTPReply reply = Command("MKD x");
    EXPECT_EQ(reply.code, 257);
    EXPECT_EQ(reply.text, platform::FromAnsi(head) + L"\" created\r\n");
    EXPECT_EQ(Command("NOOP").code, 200) << "the rest of the reply was not taken for the next one";
}

TEST_F(ControlConnection, BytesPastAReplyStayForTheNextRead) {
    m_server.Send("220 ready\r\n350 Ready for RNTO\r\n").Expect("RNFR a").Expect("RNTO b").Send("250 Renamed\r\n");
    Open();
    EXPECT_EQ(m_connection.ReadGreeting(m_abort, kTimeouts.receive).code, 220);
    EXPECT_EQ(Command("RNFR a").code, 350);
    EXPECT_EQ(Command("RNTO b").code, 250);
}

TEST_F(ControlConnection, PreliminaryRepliesAreReadPast) {
    m_server.Send("220 ready\r\n")
        .Expect("STOR f")
        .Send("150 Opening\r\n")
        .Send("125-Still\r\n125 going\r\n")
        .Send("226 Transfer complete\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    const FTPReply reply = Command("STOR f");
    EXPECT_EQ(reply.code, 226);
    EXPECT_EQ(reply.text, L"226 Transfer complete\r\n");
}

TEST_F(ControlConnection, PreliminaryGreetingIsNotReadPast) {
    m_server.Send("120 Ready in 5 minutes\r\n220 ready\r\n");
    Open();
    EXPECT_EQ(m_connection.ReadGreeting(m_abort, kTimeouts.receive).code, 120);
}

// ---- hostile and broken servers ------------------------------------------------------------

TEST_F(ControlConnection, ReplyLongerThan64KiBFailsWithError6) {
    std::string flood = "220-";
    while (flood.size() < 70 * 1024) flood += "filler filler filler filler filler filler filler\r\n220-";
    m_server.Send(flood);
    Open();
    EXPECT_EQ(ErrorOf([&] { m_connection.ReadGreeting(m_abort, kTimeouts.receive); }), platform::kErrorUnexpectedReply);
}

TEST_F(ControlConnection, ConnectionClosedMidReplyGivesCodeZeroNotThePartialCode) {
    m_server.Send("220 ready\r\n").Expect("USER bob").Send("331 Passw").Close();
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    const FTPReply reply = Command("USER bob");
    EXPECT_EQ(reply.code, 0);
    EXPECT_EQ(reply.text, L"331 Passw") << "what arrived is kept for the transcript";
}

TEST_F(ControlConnection, ConnectionClosedBeforeAnyReplyGivesAnEmptyReply) {
    m_server.Close();
    Open();
    const FTPReply greeting = m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(greeting.code, 0);
    EXPECT_EQ(greeting.text, L"");
}

TEST_F(ControlConnection, SilentServerTimesOutWith10060) {
    Event release(EventReset::Manual);
    m_server.WaitFor(release);
    Open(FTPTimeouts{Millis(5000), Millis(300)});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] { m_connection.ReadGreeting(m_abort, Millis(300)); }), platform::kErrorTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, Millis(4000));
    release.Set();
}

TEST_F(ControlConnection, AbortWhileWaitingEndsPromptlyWith995) {
    Event reached(EventReset::Manual);
    Event release(EventReset::Manual);
    m_server.Send("220 ready\r\n").Expect("LIST").Signal(reached).WaitFor(release);
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    std::thread stopper([&] {
        if (reached.Wait(Millis(10000))) m_abort.Set();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] { Command("LIST"); }), platform::kErrorAborted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, Millis(3000)) << "the 5 s receive limit was not waited out";
    stopper.join();
    EXPECT_EQ(ErrorOf([&] { m_connection.ReadReply(m_abort, kTimeouts.receive); }), platform::kErrorAborted)
        << "later waits of the task fail at once";
    release.Set();
}

// ---- connecting ------------------------------------------------------------------------------

TEST(ControlConnectionOpen, UnresolvableHostFailsWith11001) {
    // .invalid never resolves (RFC 2606).
    EXPECT_EQ(ErrorOf([] {
                  CFTPControlConnection::ConnectToServer(L"no-such-host.invalid", 21,
                                                         Event(EventReset::Manual), kTimeouts);
              }),
              platform::kErrorHostNotFound);
}

TEST(ControlConnectionOpen, RefusedPortFailsWith10061) {
    std::uint16_t port;
    {
        testsupport::TestListener closed;  // a port that was just ours, and now has no listener
        port = closed.Port();
    }
    EXPECT_EQ(ErrorOf([&] { Connect(port); }), platform::kErrorConnectionRefused);
}

TEST(ControlConnectionOpen, PeerIsTheServersAddress) {
    FakeFtpServer server;
    server.Start();
    CFTPControlConnection connection = Connect(server.Port());
    EXPECT_EQ(connection.Peer(), (platform::Endpoint{{{127, 0, 0, 1}}, server.Port()}));
    connection.Close();
    server.Finish();
}

}  // namespace
