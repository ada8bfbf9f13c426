#include "platform/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"
#include "platform/win32/Unique.h"
#include "platform/win32/Wait.h"
#include "platform/win32/WinsockStartup.h"

// Sends and receives are overlapped operations that wait on {operation event, abort event}.
// An operation that completes at once needs no wait at all, which is the common case on a busy
// connection. Each thread keeps one operation event for all its sends and receives: operations
// on one thread never overlap, and every operation is over (completed, or cancelled and
// drained) before the call returns.

namespace platform {

namespace {

constexpr ULONG kLargestBuffer = 1UL << 30;  // WSABUF lengths are 32 bits; keep each call modest

SOCKET Handle(const Socket& socket) { return static_cast<SOCKET>(socket.Native()); }

[[noreturn]] void ThrowLastSocketError() { throw static_cast<int>(::WSAGetLastError()); }

void WINAPI CloseOperationEvent(void* event) {
    if (event) ::CloseHandle(event);
}

// The event lives in a fiber-local slot whose callback closes it when the thread ends. Not a
// thread_local object with a destructor: with the static MinGW runtime such destructors run after
// the thread's emulated TLS block has been freed, and corrupt the heap.
HANDLE OperationEvent() {
    static const DWORD slot = ::FlsAlloc(&CloseOperationEvent);
    if (slot == FLS_OUT_OF_INDEXES) throw static_cast<int>(::GetLastError());
    HANDLE event = ::FlsGetValue(slot);
    if (!event) {
        event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!event) throw static_cast<int>(::GetLastError());
        if (!::FlsSetValue(slot, event)) {
            const int error = static_cast<int>(::GetLastError());
            ::CloseHandle(event);
            throw error;
        }
    }
    return event;
}

sockaddr_in ToSockaddr(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(endpoint.port);
    std::memcpy(&address.sin_addr, endpoint.address.octets.data(), 4);
    return address;
}

// Runs one overlapped send or receive to its end and returns the bytes it moved. On abort or
// time-out the operation is cancelled and drained first: the buffer and the overlapped record
// must stay valid until the system is done with them. An operation that completed before the
// cancellation took effect is reported as completed.
DWORD Transfer(SOCKET socket, char* data, ULONG length, bool sending, Event& abort, Millis limit) {
    WSABUF buffer{length, data};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = OperationEvent();
    DWORD done = 0;
    DWORD flags = 0;
    int started = sending ? ::WSASend(socket, &buffer, 1, &done, 0, &overlapped, nullptr)
                          : ::WSARecv(socket, &buffer, 1, &done, &flags, &overlapped, nullptr);
    if (started == 0) return done;
    if (int error = ::WSAGetLastError(); error != WSA_IO_PENDING) throw error;

    const win32::Deadline deadline(limit);
    for (;;) {
        win32::WaitOutcome outcome = win32::WaitReadyOrAbort(overlapped.hEvent, abort, deadline);
        if (outcome != win32::WaitOutcome::Ready) {
            ::CancelIoEx(reinterpret_cast<HANDLE>(socket), &overlapped);
            if (::WSAGetOverlappedResult(socket, &overlapped, &done, TRUE, &flags)) return done;
            throw outcome == win32::WaitOutcome::Aborted ? kErrorAborted : kErrorTimedOut;
        }
        if (::WSAGetOverlappedResult(socket, &overlapped, &done, FALSE, &flags)) return done;
        if (int error = ::WSAGetLastError(); error != WSA_IO_INCOMPLETE) throw error;
        // The event was still signalled from before this operation; clear it and look once more
        // before waiting again, so that a completion in between is not missed.
        ::ResetEvent(overlapped.hEvent);
        if (::WSAGetOverlappedResult(socket, &overlapped, &done, FALSE, &flags)) return done;
        if (int error = ::WSAGetLastError(); error != WSA_IO_INCOMPLETE) throw error;
    }
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = other.Release();
    }
    return *this;
}

// closesocket with the default linger is graceful: queued data still go out, then FIN.
void Socket::Close() {
    if (!IsOpen()) return;
    win32::UniqueSocket(static_cast<SOCKET>(Release())).Reset();
}

// A zero linger time makes closesocket send RST and drop whatever is still queued.
void Socket::CloseAbortive() {
    if (!IsOpen()) return;
    linger reset{1, 0};
    ::setsockopt(Handle(*this), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
                 sizeof reset);
    Close();
}

Ipv4Address ResolveIpv4(const std::string& host) {
    win32::StartWinsock();  // getaddrinfo needs Winsock started
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    // Its EAI_* results are Winsock numbers already (EAI_NONAME is WSAHOST_NOT_FOUND, 11001).
    if (int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found); result != 0) {
        ::WSASetLastError(result);
        throw result;
    }
    Ipv4Address address;
    bool any = false;
    for (const addrinfo* entry = found; entry && !any; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
        std::memcpy(address.octets.data(),
                    &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
        any = true;
    }
    ::freeaddrinfo(found);
    if (!any) throw kErrorNoData;
    return address;
}

Socket ConnectTcp(const Endpoint& to, Event& abort, Millis limit) {
    win32::StartWinsock();
    win32::UniqueSocket socket(
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED));
    if (!socket) ThrowLastSocketError();
    // A send buffer of several chunks lets most sends complete at once instead of going through
    // an overlapped wait each; Wine's default is small enough to make that the rule.
    const int sendBuffer = 1 << 20;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBuffer), sizeof sendBuffer);
    win32::UniqueEvent ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready) throw static_cast<int>(::GetLastError());
    // The connect runs in non-blocking mode so that the wait can watch the abort event too.
    if (::WSAEventSelect(socket.Get(), ready.Get(), FD_CONNECT) != 0) ThrowLastSocketError();
    sockaddr_in address = ToSockaddr(to);
    if (::WSAConnect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address,
                     nullptr, nullptr, nullptr, nullptr) != 0) {
        if (int error = ::WSAGetLastError(); error != WSAEWOULDBLOCK) throw error;
        switch (win32::WaitReadyOrAbort(ready.Get(), abort, win32::Deadline(limit))) {
        case win32::WaitOutcome::Ready: break;
        case win32::WaitOutcome::Aborted: throw kErrorAborted;
        case win32::WaitOutcome::TimedOut: throw kErrorTimedOut;
        }
        WSANETWORKEVENTS happened{};
        if (::WSAEnumNetworkEvents(socket.Get(), ready.Get(), &happened) != 0) ThrowLastSocketError();
        if ((happened.lNetworkEvents & FD_CONNECT) && happened.iErrorCode[FD_CONNECT_BIT] != 0)
            throw happened.iErrorCode[FD_CONNECT_BIT];
    }
    // Back to blocking mode: the overlapped sends and receives do their own waiting.
    if (::WSAEventSelect(socket.Get(), nullptr, 0) != 0) ThrowLastSocketError();
    u_long nonBlocking = 0;
    if (::ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0) ThrowLastSocketError();
    return Socket(static_cast<std::intptr_t>(socket.Release()));
}

void Send(Socket& socket, std::span<const char> data, Event& abort, Millis limit) {
    while (!data.empty()) {
        auto length = static_cast<ULONG>(std::min<std::size_t>(data.size(), kLargestBuffer));
        // WSASend does not write to the buffer; WSABUF just is not const.
        DWORD sent = Transfer(Handle(socket), const_cast<char*>(data.data()), length, true, abort, limit);
        if (sent == 0) throw kErrorConnectionAborted;  // no progress would loop for ever
        data = data.subspan(sent);
    }
}

std::size_t Receive(Socket& socket, std::span<char> into, Event& abort, Millis limit) {
    auto length = static_cast<ULONG>(std::min<std::size_t>(into.size(), kLargestBuffer));
    return Transfer(Handle(socket), into.data(), length, false, abort, limit);
}

Endpoint PeerEndpoint(const Socket& socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getpeername(Handle(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ThrowLastSocketError();
    Endpoint endpoint;
    std::memcpy(endpoint.address.octets.data(), &address.sin_addr, 4);
    endpoint.port = ::ntohs(address.sin_port);
    return endpoint;
}

}  // namespace platform
