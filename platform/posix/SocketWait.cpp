#include "platform/posix/SocketWait.h"

#include <poll.h>

#include <cerrno>

#include "platform/posix/ErrnoMapping.h"
#include "platform/posix/EventImpl.h"

namespace platform::posix {

WaitOutcome WaitForSocket(int fd, short events, Event& abort, const Deadline& deadline) {
    EventImpl& signal = abort.Impl();
    for (;;) {
        pollfd ready[2] = {{fd, events, 0}, {signal.fd, POLLIN, 0}};
        if (::poll(ready, 2, deadline.PollTimeout()) < 0) {
            if (errno == EINTR) continue;
            throw WinsockErrorFromErrno(errno);
        }
        // POLLERR and POLLHUP count as ready too: the retried call then reports the error.
        if (ready[0].revents != 0) return WaitOutcome::Ready;
        if (ready[1].revents != 0 && signal.TryTake()) return WaitOutcome::Aborted;
        if (deadline.Expired()) return WaitOutcome::TimedOut;
    }
}

}  // namespace platform::posix
