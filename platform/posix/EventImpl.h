#pragma once
// The POSIX event: an eventfd that is readable exactly while the event is set, so that poll()
// can wait for it beside a socket, and a flag under a lock, so that of several waiters woken
// together only one takes an auto-reset event.
#include <mutex>

namespace platform {

struct EventImpl {
    EventImpl(bool manualReset, bool initiallySet);  // throws int
    ~EventImpl();
    EventImpl(const EventImpl&) = delete;
    EventImpl& operator=(const EventImpl&) = delete;

    void Set();
    void Reset();
    // Takes the signal if the event is set: an auto-reset event is consumed, a manual-reset
    // event stays set. Never blocks.
    bool TryTake();

    const int fd;  // poll for POLLIN; only the members above read or write it
    const bool manualReset;

private:
    std::mutex m_lock;
    bool m_set = false;  // mirrors whether the eventfd's counter is non-zero
};

}  // namespace platform
