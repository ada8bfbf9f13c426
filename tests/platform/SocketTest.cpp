#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/ErrorCodes.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TestListener.h"

namespace {

using platform::Event;
using platform::EventReset;
using platform::Millis;
using platform::Socket;
using platformtest::ErrorOf;
using platformtest::kGenerous;
using Clock = std::chrono::steady_clock;

std::string ReceiveText(Socket& socket, Event& abort, std::size_t size = 64) {
    std::string text(size, '\0');
    text.resize(platform::Receive(socket, text, abort, kGenerous));
    return text;
}

TEST(SocketResolve, AddressesAndLocalhostResolveAndUnknownHostsGive11001) {
    struct Case {
        const char* host;
        platform::Ipv4Address expected;
        int error;
    };
    const Case cases[] = {
        {"10.20.30.40", {{10, 20, 30, 40}}, 0},  // numeric: no lookup, no traffic
        {"localhost", {{127, 0, 0, 1}}, 0},
        {"no-such-host.invalid", {}, platform::kErrorHostNotFound},  // never resolves (RFC 6761)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        platform::Ipv4Address resolved{};
        EXPECT_EQ(ErrorOf([&] { resolved = platform::ResolveIpv4(c.host); }), c.error);
        EXPECT_EQ(resolved, c.expected);
    }
}

// Linux drops connection requests to a listener whose backlog is full, so further connects hang:
// a connect that waits without any traffic off this machine. The loop is bounded.
TEST(SocketConnect, WaitingConnectOrSendTimesOutWith10060AndAnAbortEndsItWith995) {
    testsupport::TestListener listener(0, 1);
    std::vector<Socket> waiting;
    Event never(EventReset::Manual);
    int error = 0;
    for (int attempt = 0; attempt < 32 && error == 0; ++attempt)
        error = ErrorOf([&] { waiting.push_back(platform::ConnectTcp(listener.Endpoint(), never, Millis(300))); });
    if (error == platform::kErrorConnectionRefused) GTEST_SKIP() << "this system refuses instead";
    ASSERT_EQ(error, platform::kErrorTimedOut);

    // The first ones are connected but never accepted: nobody reads what they send.
    ASSERT_FALSE(waiting.empty());
    const std::vector<char> data(64 * 1024 * 1024);  // far more than both socket buffers hold
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { platform::Send(waiting.front(), data, never, Millis(300)); }), platform::kErrorTimedOut);
    EXPECT_LT(Clock::now() - start, Millis(10000));

    Event abort(EventReset::Manual);
    std::jthread aborter([&] {
        std::this_thread::sleep_for(Millis(100));  // either order must end in 995
        abort.Set();
    });
    start = Clock::now();
    error = ErrorOf([&] { platform::ConnectTcp(listener.Endpoint(), abort, Millis(30000)); });
    EXPECT_EQ(error, platform::kErrorAborted);
    EXPECT_LT(Clock::now() - start, Millis(5000));
}

// A reply that has arrived is read even when Stop came meanwhile; only a wait ends in 995, and an
// auto-reset abort is consumed by the wait it ends. Closing twice is harmless.
TEST(SocketPair, DataAlreadyThereAreReturnedEvenAfterAnAbortAndClosingTwiceIsHarmless) {
    Event never(EventReset::Manual);
    testsupport::TestListener listener;
    Socket client = platform::ConnectTcp(listener.Endpoint(), never, kGenerous);
    Socket server = listener.Accept(never, kGenerous);
    platform::Send(server, std::string("150 x\r\n226 y\r\n"), never, kGenerous);
    // One byte first, without the abort: after it the whole segment has arrived.
    EXPECT_EQ(ReceiveText(client, never, 1), "1");
    Event abort(EventReset::Manual, true);
    EXPECT_EQ(ReceiveText(client, abort), "50 x\r\n226 y\r\n");
    char buffer[16];
    EXPECT_EQ(ErrorOf([&] { platform::Receive(client, buffer, abort, kGenerous); }), platform::kErrorAborted);
    Event autoAbort(EventReset::Auto, true);
    EXPECT_EQ(ErrorOf([&] { platform::Receive(client, buffer, autoAbort, kGenerous); }), platform::kErrorAborted);
    EXPECT_FALSE(autoAbort.Wait(Millis(0)));

    // The destructor closes again after an explicit Close: that must not touch a descriptor the
    // system has given out again meanwhile.
    client.Close();
    client.Close();
    client.CloseAbortive();
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(ReceiveText(server, never), "");
}

}  // namespace
