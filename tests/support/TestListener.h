#pragma once
#include <cstdint>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Time.h"

namespace testsupport {

// A TCP listener on 127.0.0.1 for the test servers; the sockets it accepts are ordinary
// platform::Socket objects. Not for use from two threads at once: it must not be destroyed while
// another thread is inside Accept (end that Accept with its abort event first).
class TestListener {
public:
    // Listens on 127.0.0.1:`port`; port 0 lets the system choose. `backlog` is how many
    // connections may wait to be accepted; a small one lets a test make connects hang. Throws int.
    explicit TestListener(std::uint16_t port = 0, int backlog = 64);

    platform::Endpoint Endpoint() const { return m_endpoint; }
    std::uint16_t Port() const { return m_endpoint.port; }

    // Waits for one connection. Throws int: 995 when `abort` fires first, 10060 after `limit`,
    // or the system's number.
    platform::Socket Accept(platform::Event& abort, platform::Millis limit);

private:
    platform::Event m_acceptReady{platform::EventReset::Manual};  // for backends that need one
    platform::Socket m_socket;
    platform::Endpoint m_endpoint;
};

// A loopback port that was free a moment ago, for servers started in another process. Another
// program may take it in between, so callers that can should listen on port 0 instead.
inline std::uint16_t FreeLoopbackPort() { return TestListener(0).Port(); }

}  // namespace testsupport
