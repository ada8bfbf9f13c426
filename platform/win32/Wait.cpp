#include "platform/win32/Wait.h"

#include <algorithm>

#include "platform/win32/EventImpl.h"

namespace platform::win32 {

DWORD ToWaitMillis(Millis limit) {
    if (limit == kInfinite || limit.count() >= static_cast<Millis::rep>(INFINITE)) return INFINITE;
    return static_cast<DWORD>(std::max<Millis::rep>(limit.count(), 0));
}

Deadline::Deadline(Millis limit)
    : m_infinite(ToWaitMillis(limit) == INFINITE),
      m_end(Clock::now() + (m_infinite ? Millis(0) : std::max(limit, Millis(0)))) {}

DWORD Deadline::WaitTimeout() const {
    if (m_infinite) return INFINITE;
    auto left = std::chrono::ceil<Millis>(m_end - Clock::now());
    return ToWaitMillis(std::max(left, Millis(0)));
}

WaitOutcome WaitReadyOrAbort(HANDLE ready, Event& abort, const Deadline& deadline) {
    const WSAEVENT events[2] = {ready, abort.Impl().handle.Get()};
    for (;;) {
        DWORD result = ::WSAWaitForMultipleEvents(2, events, FALSE, deadline.WaitTimeout(), TRUE);
        switch (result) {
        case WSA_WAIT_EVENT_0: return WaitOutcome::Ready;
        case WSA_WAIT_EVENT_0 + 1: return WaitOutcome::Aborted;
        case WSA_WAIT_TIMEOUT: return WaitOutcome::TimedOut;
        case WSA_WAIT_IO_COMPLETION: continue;  // an APC ran; wait for what is left
        default: throw static_cast<int>(::WSAGetLastError());
        }
    }
}

}  // namespace platform::win32
