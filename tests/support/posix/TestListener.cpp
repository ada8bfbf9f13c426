#include "tests/support/TestListener.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/ErrorCodes.h"
#include "platform/posix/ErrnoMapping.h"
#include "platform/posix/SocketWait.h"

namespace testsupport {

namespace {

[[noreturn]] void ThrowErrno() { throw platform::posix::WinsockErrorFromErrno(errno); }

}  // namespace

TestListener::TestListener(std::uint16_t port, int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) ThrowErrno();
    m_socket = platform::Socket(fd);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ThrowErrno();
    m_endpoint.address = {{127, 0, 0, 1}};
    m_endpoint.port = ntohs(address.sin_port);
}

platform::Socket TestListener::Accept(platform::Event& abort, platform::Millis limit) {
    const int fd = static_cast<int>(m_socket.Native());
    const platform::posix::Deadline deadline(limit);
    for (;;) {
        int accepted = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted >= 0) return platform::Socket(accepted);
        // A client that gave up before we took it is not a failure of the listener.
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) ThrowErrno();
        switch (platform::posix::WaitForSocket(fd, POLLIN, abort, deadline)) {
        case platform::posix::WaitOutcome::Ready: break;
        case platform::posix::WaitOutcome::Aborted: throw platform::kErrorAborted;
        case platform::posix::WaitOutcome::TimedOut: throw platform::kErrorTimedOut;
        }
    }
}

}  // namespace testsupport
