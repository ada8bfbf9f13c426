#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/ErrorCodes.h"
#include "platform/posix/ErrnoMapping.h"
#include "platform/posix/SocketWait.h"

// Sockets are non-blocking, and every call also passes MSG_DONTWAIT so that a socket adopted in
// blocking mode behaves the same. Each operation is tried first and waits only when it would
// block: the common case costs one system call, and data already there are taken even when the
// abort event has fired.

namespace platform {

namespace {

// getaddrinfo's EAI_* results in the numbers Windows' getaddrinfo returns.
int ResolverError(int result, int savedErrno) {
    switch (result) {
    case EAI_NONAME: return kErrorHostNotFound;
    case EAI_AGAIN: return kErrorTryAgain;
    case EAI_FAIL: return kErrorNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA: return kErrorNoData;           // the name exists but has no IPv4 address
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return kErrorNoData;
#endif
    case EAI_MEMORY: return 8;                      // WSA_NOT_ENOUGH_MEMORY
    case EAI_BADFLAGS: return 10022;                // WSAEINVAL
    case EAI_FAMILY: return 10047;                  // WSAEAFNOSUPPORT
    case EAI_SOCKTYPE: return 10044;                // WSAESOCKTNOSUPPORT
    case EAI_SERVICE: return 10109;                 // WSATYPE_NOT_FOUND
    case EAI_SYSTEM: return posix::WinsockErrorFromErrno(savedErrno);
    default: return kErrorNoRecovery;
    }
}

sockaddr_in ToSockaddr(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    std::memcpy(&address.sin_addr, endpoint.address.octets.data(), 4);
    return address;
}

int Fd(const Socket& socket) { return static_cast<int>(socket.Native()); }

[[noreturn]] void ThrowWaitOutcome(posix::WaitOutcome outcome) {
    throw outcome == posix::WaitOutcome::Aborted ? kErrorAborted : kErrorTimedOut;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = other.Release();
    }
    return *this;
}

// With the default linger the kernel still delivers what is queued and then sends FIN.
void Socket::Close() {
    if (IsOpen()) ::close(static_cast<int>(Release()));
}

// A zero linger time makes close() send RST and drop whatever is still queued.
void Socket::CloseAbortive() {
    if (!IsOpen()) return;
    linger reset{1, 0};
    ::setsockopt(Fd(*this), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(static_cast<int>(Release()));
}

Ipv4Address ResolveIpv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) throw ResolverError(result, errno);
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
        Ipv4Address address;
        std::memcpy(address.octets.data(),
                    &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
        return address;
    }
    throw kErrorNoData;
}

Socket ConnectTcp(const Endpoint& to, Event& abort, Millis limit) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) throw posix::WinsockErrorFromErrno(errno);
    Socket socket(fd);
    sockaddr_in address = ToSockaddr(to);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return socket;
    // EINTR leaves the connect going on in the background, just as EINPROGRESS does.
    if (errno != EINPROGRESS && errno != EINTR) throw posix::WinsockErrorFromErrno(errno);
    posix::WaitOutcome outcome = posix::WaitForSocket(fd, POLLOUT, abort, posix::Deadline(limit));
    if (outcome != posix::WaitOutcome::Ready) ThrowWaitOutcome(outcome);
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) throw posix::WinsockErrorFromErrno(error);
    return socket;
}

void Send(Socket& socket, std::span<const char> data, Event& abort, Millis limit) {
    const int fd = Fd(socket);
    std::optional<posix::Deadline> deadline;  // started at the first wait: most sends never wait
    while (!data.empty()) {
        ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            data = data.subspan(static_cast<std::size_t>(sent));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) throw posix::WinsockErrorFromErrno(errno);
        if (!deadline) deadline.emplace(limit);
        posix::WaitOutcome outcome = posix::WaitForSocket(fd, POLLOUT, abort, *deadline);
        if (outcome != posix::WaitOutcome::Ready) ThrowWaitOutcome(outcome);
    }
}

std::size_t Receive(Socket& socket, std::span<char> into, Event& abort, Millis limit) {
    const int fd = Fd(socket);
    std::optional<posix::Deadline> deadline;
    for (;;) {
        ssize_t received = ::recv(fd, into.data(), into.size(), MSG_DONTWAIT);
        if (received >= 0) return static_cast<std::size_t>(received);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) throw posix::WinsockErrorFromErrno(errno);
        if (!deadline) deadline.emplace(limit);
        posix::WaitOutcome outcome = posix::WaitForSocket(fd, POLLIN, abort, *deadline);
        if (outcome != posix::WaitOutcome::Ready) ThrowWaitOutcome(outcome);
    }
}

Endpoint PeerEndpoint(const Socket& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw posix::WinsockErrorFromErrno(errno);
    Endpoint endpoint;
    std::memcpy(endpoint.address.octets.data(), &address.sin_addr, 4);
    endpoint.port = ntohs(address.sin_port);
    return endpoint;
}

}  // namespace platform
