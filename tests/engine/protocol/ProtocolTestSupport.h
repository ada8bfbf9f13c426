#pragma once
// What the protocol tests share: short injected time-outs and a connection to a test server.
#include "Orvane/engine/protocol/FTPControlConnection.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "platform/Event.h"
#include "tests/platform/PlatformTestSupport.h"

namespace protocoltest {

// Long enough for a loaded machine, short enough that a hang fails quickly.
inline const FTPTimeouts kTimeouts{platform::Millis(5000), platform::Millis(5000)};

inline CFTPControlConnection Connect(std::uint16_t port, platform::Event abort) {
    return CFTPControlConnection::ConnectToServer(L"127.0.0.1", port, std::move(abort), kTimeouts);
}

using platformtest::ErrorOf;

}  // namespace protocoltest
