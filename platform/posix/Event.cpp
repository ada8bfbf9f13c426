#include "platform/Event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/posix/Deadline.h"
#include "platform/posix/ErrnoMapping.h"
#include "platform/posix/EventImpl.h"

namespace platform {

namespace {

int CreateEventFd() {
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) throw posix::WindowsErrorFromErrno(errno);
    return fd;
}

}  // namespace

EventImpl::EventImpl(bool manual, bool initiallySet) : fd(CreateEventFd()), manualReset(manual) {
    if (initiallySet) Set();
}

EventImpl::~EventImpl() { ::close(fd); }

// The counter only ever moves between 0 and 1, under the lock, so it cannot overflow and a
// read always finds what the flag says.
void EventImpl::Set() {
    std::lock_guard guard(m_lock);
    if (m_set) return;
    m_set = true;
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(fd, &one, sizeof one);
}

void EventImpl::Reset() {
    std::lock_guard guard(m_lock);
    if (!m_set) return;
    m_set = false;
    std::uint64_t count = 0;
    [[maybe_unused]] auto read = ::read(fd, &count, sizeof count);
}

bool EventImpl::TryTake() {
    std::lock_guard guard(m_lock);
    if (!m_set) return false;
    if (!manualReset) {
        m_set = false;
        std::uint64_t count = 0;
        [[maybe_unused]] auto read = ::read(fd, &count, sizeof count);
    }
    return true;
}

Event::Event(EventReset reset, bool initiallySet)
    : m_impl(std::make_shared<EventImpl>(reset == EventReset::Manual, initiallySet)) {}

void Event::Set() { m_impl->Set(); }

void Event::Reset() { m_impl->Reset(); }

bool Event::Wait(Millis limit) {
    const posix::Deadline deadline(limit);
    for (;;) {
        if (m_impl->TryTake()) return true;
        if (deadline.Expired()) return false;
        // Readable only says "was set": another waiter may take it first, so look again.
        pollfd ready{m_impl->fd, POLLIN, 0};
        ::poll(&ready, 1, deadline.PollTimeout());
    }
}

int WaitForEither(Event& first, Event& second, Millis limit) {
    const posix::Deadline deadline(limit);
    for (;;) {
        if (first.Impl().TryTake()) return 0;
        if (second.Impl().TryTake()) return 1;
        if (deadline.Expired()) return -1;
        pollfd ready[2] = {{first.Impl().fd, POLLIN, 0}, {second.Impl().fd, POLLIN, 0}};
        ::poll(ready, 2, deadline.PollTimeout());
    }
}

}  // namespace platform
