#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/ErrorCodes.h"
#include "tests/support/TestListener.h"

namespace {

using platform::Event;
using platform::EventReset;
using platform::Millis;
using platform::Socket;
using testsupport::TestListener;
using Clock = std::chrono::steady_clock;

constexpr Millis kGenerous(10000);  // a limit that only a hang would reach

// Calls `action`, which must throw an int, and returns it; -1 when nothing was thrown.
template <class Action>
int ErrorOf(Action action) {
    try {
        action();
    } catch (int code) {
        return code;
    }
    return -1;
}

std::string ReceiveText(Socket& socket, Event& abort, std::size_t size = 64) {
    std::string text(size, '\0');
    text.resize(platform::Receive(socket, text, abort, kGenerous));
    return text;
}

// Both ends of one loopback connection.
class SocketPair : public ::testing::Test {
protected:
    void SetUp() override {
        m_client = platform::ConnectTcp(m_listener.Endpoint(), m_never, kGenerous);
        m_server = m_listener.Accept(m_never, kGenerous);
    }

    Event m_never{EventReset::Manual};
    TestListener m_listener;
    Socket m_client;
    Socket m_server;
};

// ---- name resolution ----

TEST(SocketResolve, DottedAddressesAndLocalhostResolve) {
    struct Case { const char* host; platform::Ipv4Address expected; };
    const Case cases[] = {
        {"127.0.0.1", {{127, 0, 0, 1}}},
        {"10.20.30.40", {{10, 20, 30, 40}}},  // numeric: no lookup, no traffic
        {"localhost", {{127, 0, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        EXPECT_EQ(platform::ResolveIpv4(c.host), c.expected);
    }
}

// The .invalid top-level domain never resolves (RFC 6761); the resolver says so at once.
TEST(SocketResolve, UnknownHostGives11001) {
    EXPECT_EQ(ErrorOf([] { platform::ResolveIpv4("no-such-host.invalid"); }),
              platform::kErrorHostNotFound);
}

// ---- connecting ----

TEST(SocketConnect, ClosedPortIsRefusedWith10061) {
    platform::Endpoint closed;
    {
        TestListener listener;
        closed = listener.Endpoint();
    }
    Event never(EventReset::Manual);
    EXPECT_EQ(ErrorOf([&] { platform::ConnectTcp(closed, never, kGenerous); }),
              platform::kErrorConnectionRefused);
}

// Linux drops connection requests to a listener whose backlog is full, so further connects
// hang; that gives a connect that waits without any traffic off this machine. Connects that
// succeed fill the backlog; the loop is bounded and ends at the first one that does not.
class FullBacklog : public ::testing::Test {
protected:
    // Connects until one fails, each with `limit`, and returns that failure.
    int ConnectUntilOneFails(Event& abort, Millis limit) {
        for (int attempt = 0; attempt < 32; ++attempt) {
            int error = ErrorOf([&] {
                m_waiting.push_back(platform::ConnectTcp(m_listener.Endpoint(), abort, limit));
            });
            if (error != -1) return error;
        }
        return -1;
    }

    TestListener m_listener{0, 1};
    std::vector<Socket> m_waiting;
};

TEST_F(FullBacklog, ConnectTimesOutWith10060AfterItsLimit) {
    Event never(EventReset::Manual);
    auto start = Clock::now();
    int error = ConnectUntilOneFails(never, Millis(300));
    if (error == platform::kErrorConnectionRefused) GTEST_SKIP() << "this system refuses instead";
    EXPECT_EQ(error, platform::kErrorTimedOut);
    EXPECT_LT(Clock::now() - start, Millis(10000));
}

TEST_F(FullBacklog, AbortEndsAWaitingConnectWith995) {
    Event never(EventReset::Manual);
    Event abort(EventReset::Manual);
    // Fill the backlog first, so that the aborted connect is one that really waits.
    if (ConnectUntilOneFails(never, Millis(200)) != platform::kErrorTimedOut)
        GTEST_SKIP() << "connects to a full backlog do not wait here";
    std::thread aborter([&] {
        std::this_thread::sleep_for(Millis(100));  // either order must end in 995
        abort.Set();
    });
    auto start = Clock::now();
    int error = ErrorOf([&] { platform::ConnectTcp(m_listener.Endpoint(), abort, Millis(30000)); });
    aborter.join();
    EXPECT_EQ(error, platform::kErrorAborted);
    EXPECT_LT(Clock::now() - start, Millis(5000));
}

TEST_F(SocketPair, PeerEndpointNamesTheOtherEnd) {
    EXPECT_EQ(platform::PeerEndpoint(m_client), m_listener.Endpoint());
    platform::Endpoint client = platform::PeerEndpoint(m_server);
    EXPECT_EQ(client.address, (platform::Ipv4Address{{127, 0, 0, 1}}));
    EXPECT_NE(client.port, 0);
    EXPECT_NE(client.port, m_listener.Port());
}

TEST(SocketConnect, ListenerAcceptTimesOutAndAborts) {
    TestListener listener;
    Event abort(EventReset::Manual);
    EXPECT_EQ(ErrorOf([&] { listener.Accept(abort, Millis(50)); }), platform::kErrorTimedOut);
    abort.Set();
    EXPECT_EQ(ErrorOf([&] { listener.Accept(abort, kGenerous); }), platform::kErrorAborted);
}

// ---- receiving ----

TEST_F(SocketPair, ReceiveReturnsWhatThePeerSent) {
    platform::Send(m_server, std::string("220 ready\r\n"), m_never, kGenerous);
    EXPECT_EQ(ReceiveText(m_client, m_never), "220 ready\r\n");
}

TEST_F(SocketPair, SilentPeerTimesOutWith10060Promptly) {
    char buffer[16];
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { platform::Receive(m_client, buffer, m_never, Millis(200)); }),
              platform::kErrorTimedOut);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, Millis(150));
    EXPECT_LT(waited, Millis(5000));
}

TEST_F(SocketPair, AbortFromAnotherThreadEndsTheWaitWith995Promptly) {
    Event abort(EventReset::Manual);
    Event receiving(EventReset::Manual);
    std::thread aborter([&] {
        receiving.Wait(kGenerous);
        // Give the receive time to block. Should the abort come first after all, the receive
        // must still end with 995, so the outcome does not hang on this delay.
        std::this_thread::sleep_for(Millis(100));
        abort.Set();
    });
    char buffer[16];
    receiving.Set();
    auto start = Clock::now();
    int error = ErrorOf([&] { platform::Receive(m_client, buffer, abort, Millis(30000)); });
    auto waited = Clock::now() - start;
    aborter.join();
    EXPECT_EQ(error, platform::kErrorAborted);
    EXPECT_LT(waited, Millis(5000)) << "the abort took "
        << std::chrono::duration_cast<Millis>(waited).count() << " ms to be noticed";
}

TEST_F(SocketPair, DataAlreadyThereAreReturnedEvenAfterAnAbort) {
    platform::Send(m_server, std::string("150 x\r\n226 y\r\n"), m_never, kGenerous);
    // One byte first, without the abort: after it the whole segment has arrived.
    EXPECT_EQ(ReceiveText(m_client, m_never, 1), "1");
    Event abort(EventReset::Manual, true);
    EXPECT_EQ(ReceiveText(m_client, abort), "50 x\r\n226 y\r\n");
    char buffer[16];
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { platform::Receive(m_client, buffer, abort, kGenerous); }),
              platform::kErrorAborted);
    EXPECT_LT(Clock::now() - start, Millis(5000));
}

TEST_F(SocketPair, AutoResetAbortIsConsumedByTheWaitItEnds) {
    Event abort(EventReset::Auto, true);
    char buffer[16];
    EXPECT_EQ(ErrorOf([&] { platform::Receive(m_client, buffer, abort, kGenerous); }),
              platform::kErrorAborted);
    EXPECT_FALSE(abort.Wait(Millis(0)));
}

TEST_F(SocketPair, PeerCloseGivesTheRestThenZero) {
    platform::Send(m_server, std::string("221 bye\r\n"), m_never, kGenerous);
    m_server.Close();
    EXPECT_EQ(ReceiveText(m_client, m_never), "221 bye\r\n");
    EXPECT_EQ(ReceiveText(m_client, m_never), "");
    EXPECT_EQ(ReceiveText(m_client, m_never), "");  // and so on, without waiting
}

// The reset comes while the receive waits: Wine reports a reset that had already arrived when
// the receive began as the end of the stream, where Windows and Linux report 10054 either way.
TEST_F(SocketPair, PeerResetWhileWaitingGives10054) {
    Event receiving(EventReset::Manual);
    std::thread resetter([&] {
        receiving.Wait(kGenerous);
        std::this_thread::sleep_for(Millis(100));  // let the receive block first
        m_server.CloseAbortive();
    });
    char buffer[16];
    receiving.Set();
    int error = ErrorOf([&] { platform::Receive(m_client, buffer, m_never, kGenerous); });
    resetter.join();
    EXPECT_EQ(error, platform::kErrorConnectionReset);
}

// ---- sending ----

std::vector<char> Pattern(std::size_t size) {
    std::vector<char> data(size);
    std::uint32_t state = 12345;
    for (char& c : data) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return data;
}

TEST_F(SocketPair, SendOfSeveralMiBArrivesIntactWhileThePeerReads) {
    const std::vector<char> data = Pattern(6 * 1024 * 1024 + 123);
    std::vector<char> received;
    std::thread reader([&] {
        std::vector<char> chunk(8192);
        for (;;) {
            std::size_t n = platform::Receive(m_server, chunk, m_never, kGenerous);
            if (n == 0) break;
            received.insert(received.end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
        }
    });
    int error = ErrorOf([&] {
        platform::Send(m_client, data, m_never, kGenerous);
        m_client.Close();  // graceful: the reader sees every byte, then the end
    });
    reader.join();
    EXPECT_EQ(error, -1);
    ASSERT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data);
}

TEST_F(SocketPair, SendToAPeerThatDoesNotReadTimesOutWith10060) {
    const std::vector<char> data(64 * 1024 * 1024);  // far more than both socket buffers hold
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { platform::Send(m_client, data, m_never, Millis(300)); }),
              platform::kErrorTimedOut);
    EXPECT_LT(Clock::now() - start, Millis(10000));
}

TEST_F(SocketPair, AbortWhileASendWaitsGives995) {
    const std::vector<char> data(64 * 1024 * 1024);
    Event abort(EventReset::Manual);
    std::thread aborter([&] {
        std::this_thread::sleep_for(Millis(100));  // either order must end in 995
        abort.Set();
    });
    int error = ErrorOf([&] { platform::Send(m_client, data, abort, Millis(30000)); });
    aborter.join();
    EXPECT_EQ(error, platform::kErrorAborted);
}

TEST_F(SocketPair, SendAfterThePeerResetFails10054) {
    m_server.CloseAbortive();
    const std::vector<char> chunk(65536);
    int error = -1;
    for (int attempt = 0; attempt < 100 && error == -1; ++attempt)  // the first may still be taken
        error = ErrorOf([&] { platform::Send(m_client, chunk, m_never, kGenerous); });
    EXPECT_EQ(error, platform::kErrorConnectionReset);
}

// ---- closing and moving ----

TEST_F(SocketPair, MoveAssignmentClosesTheSocketItReplaces) {
    Socket other = platform::ConnectTcp(m_listener.Endpoint(), m_never, kGenerous);
    Socket otherServer = m_listener.Accept(m_never, kGenerous);
    m_client = std::move(other);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(ReceiveText(m_server, m_never), "");  // the replaced connection ended
    platform::Send(otherServer, std::string("x"), m_never, kGenerous);
    EXPECT_EQ(ReceiveText(m_client, m_never), "x");  // the moved one still works
}

TEST_F(SocketPair, CloseIsIdempotentAndLeavesTheSocketClosed) {
    m_client.Close();
    m_client.Close();
    m_client.CloseAbortive();
    EXPECT_FALSE(m_client.IsOpen());
    EXPECT_EQ(ReceiveText(m_server, m_never), "");
}

}  // namespace
