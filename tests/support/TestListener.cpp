#include "tests/support/TestListener.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/WinsockStartup.h"
#else
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/posix/ErrnoMapping.h"
#endif

#include <chrono>

#include "platform/ErrorCodes.h"

namespace testsupport {

namespace {

#ifdef _WIN32
using Native = SOCKET;
int LastError() { return ::WSAGetLastError(); }
#else
using Native = int;
int LastError() { return platform::posix::WinsockErrorFromErrno(errno); }
#endif

}  // namespace

TestListener::TestListener(std::uint16_t port, int backlog) {
#ifdef _WIN32
    platform::win32::StartWinsock();
#endif
    m_socket = platform::Socket(static_cast<std::intptr_t>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    const auto listener = static_cast<Native>(m_socket.Native());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!m_socket.IsOpen() || ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, backlog) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw LastError();
    m_endpoint.address = {{127, 0, 0, 1}};
    m_endpoint.port = ntohs(address.sin_port);
}

// Waits in short slices, looking at `abort` between them.
platform::Socket TestListener::Accept(platform::Event& abort, platform::Millis limit) {
    const auto listener = static_cast<Native>(m_socket.Native());
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (abort.IsSet()) throw platform::kErrorAborted;
        if (std::chrono::steady_clock::now() >= deadline) throw platform::kErrorTimedOut;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        timeval slice{0, 20000};
        if (::select(static_cast<int>(listener) + 1, &ready, nullptr, nullptr, &slice) < 0) throw LastError();
        if (!FD_ISSET(listener, &ready)) continue;
#ifdef _WIN32
        const Native accepted = ::accept(listener, nullptr, nullptr);
        if (accepted != INVALID_SOCKET) return platform::Socket(static_cast<std::intptr_t>(accepted));
        if (::WSAGetLastError() != WSAECONNRESET) throw LastError();  // the client gave up before we took it
#else
        const Native accepted = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted >= 0) return platform::Socket(accepted);
        if (errno != EINTR && errno != ECONNABORTED) throw LastError();
#endif
    }
}

}  // namespace testsupport
