#pragma once
#include <winsock2.h>
#include <windows.h>

#include <chrono>

#include "platform/Event.h"
#include "platform/Time.h"

namespace platform::win32 {

// A limit as the wait functions take it: INFINITE for kInfinite (and for limits too long to
// express), otherwise the milliseconds, never INFINITE by accident.
DWORD ToWaitMillis(Millis limit);

// The end of one wait that may be resumed after an alert.
class Deadline {
public:
    explicit Deadline(Millis limit);
    DWORD WaitTimeout() const;  // what is left, rounded up, as ToWaitMillis gives it

private:
    using Clock = std::chrono::steady_clock;
    bool m_infinite;
    Clock::time_point m_end;
};

enum class WaitOutcome { Ready, Aborted, TimedOut };

// Waits for `ready` or `abort`, alertably, until `deadline`. `ready` is the first of the two
// events, so when both are signalled the wait reports `ready`: an operation that has already
// completed succeeds even after an abort. A fired auto-reset abort event is consumed.
// Throws int for a failed wait.
WaitOutcome WaitReadyOrAbort(HANDLE ready, Event& abort, const Deadline& deadline);

}  // namespace platform::win32
