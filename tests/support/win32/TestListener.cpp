#include "tests/support/TestListener.h"

#include <winsock2.h>
#include <windows.h>

#include "platform/ErrorCodes.h"
#include "platform/win32/EventImpl.h"
#include "platform/win32/Unique.h"
#include "platform/win32/Wait.h"
#include "platform/win32/WinsockStartup.h"

namespace testsupport {

namespace {

[[noreturn]] void ThrowLastSocketError() { throw static_cast<int>(::WSAGetLastError()); }

}  // namespace

TestListener::TestListener(std::uint16_t port, int backlog) {
    platform::win32::StartWinsock();
    m_socket = platform::Socket(static_cast<std::intptr_t>(
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED)));
    const auto listener = static_cast<SOCKET>(m_socket.Native());
    if (listener == INVALID_SOCKET) ThrowLastSocketError();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, backlog) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        // Non-blocking from here on; the event tells when a connection waits.
        ::WSAEventSelect(listener, m_acceptReady.Impl().handle.Get(), FD_ACCEPT) != 0)
        ThrowLastSocketError();
    m_endpoint.address = {{127, 0, 0, 1}};
    m_endpoint.port = ::ntohs(address.sin_port);
}

platform::Socket TestListener::Accept(platform::Event& abort, platform::Millis limit) {
    const auto listener = static_cast<SOCKET>(m_socket.Native());
    HANDLE ready = m_acceptReady.Impl().handle.Get();
    const platform::win32::Deadline deadline(limit);
    for (;;) {
        platform::win32::UniqueSocket accepted(::accept(listener, nullptr, nullptr));
        if (accepted) {
            // The accepted socket inherits the listener's event selection and non-blocking
            // mode; platform::Send and Receive expect a plain blocking socket.
            if (::WSAEventSelect(accepted.Get(), nullptr, 0) != 0) ThrowLastSocketError();
            u_long nonBlocking = 0;
            if (::ioctlsocket(accepted.Get(), FIONBIO, &nonBlocking) != 0) ThrowLastSocketError();
            return platform::Socket(static_cast<std::intptr_t>(accepted.Release()));
        }
        int error = ::WSAGetLastError();
        if (error == WSAECONNRESET) continue;  // the client gave up before we took it
        if (error != WSAEWOULDBLOCK) throw error;
        switch (platform::win32::WaitReadyOrAbort(ready, abort, deadline)) {
        case platform::win32::WaitOutcome::Ready: break;
        case platform::win32::WaitOutcome::Aborted: throw platform::kErrorAborted;
        case platform::win32::WaitOutcome::TimedOut: throw platform::kErrorTimedOut;
        }
        WSANETWORKEVENTS happened{};  // resets the event; accept() re-arms FD_ACCEPT
        if (::WSAEnumNetworkEvents(listener, ready, &happened) != 0) ThrowLastSocketError();
    }
}

}  // namespace testsupport
