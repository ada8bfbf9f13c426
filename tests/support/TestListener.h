#pragma once
#include <cstdint>

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Time.h"

namespace testsupport {

// A TCP listener on 127.0.0.1; not to be destroyed while another thread is inside Accept.
class TestListener {
public:
    // A small `backlog` lets a test make connects hang. Throws int.
    explicit TestListener(std::uint16_t port = 0, int backlog = 64);

    platform::Endpoint Endpoint() const { return m_endpoint; }
    std::uint16_t Port() const { return m_endpoint.port; }

    // Throws int: 995 when `abort` fires first, 10060 after `limit`, or the system's number.
    platform::Socket Accept(platform::Event& abort, platform::Millis limit);

private:
    platform::Socket m_socket;
    platform::Endpoint m_endpoint;
};

// A loopback port that was free a moment ago.
inline std::uint16_t FreeLoopbackPort() { return TestListener(0).Port(); }

}  // namespace testsupport
