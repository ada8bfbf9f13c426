#pragma once
#include "platform/Event.h"
#include "platform/posix/Deadline.h"

namespace platform::posix {

enum class WaitOutcome { Ready, Aborted, TimedOut };

// Waits until `fd` reports any of `events` (POLLIN, POLLOUT), `abort` fires, or `deadline`
// passes. A socket that is ready wins over an abort that fired at the same time, as the first
// of two signalled events does in a Windows wait. A fired auto-reset abort event is consumed.
// Throws int for a failed poll().
WaitOutcome WaitForSocket(int fd, short events, Event& abort, const Deadline& deadline);

}  // namespace platform::posix
