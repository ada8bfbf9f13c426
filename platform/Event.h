#pragma once
#include <memory>

#include "platform/Time.h"

namespace platform {

enum class EventReset { Manual, Auto };

struct EventImpl;  // the backend's handle; see platform/<backend>/EventImpl.h

// A kernel-style event. Copies name the same event, like a duplicated handle: a copy stays
// valid after the original is gone, and signalling either signals both. Socket waits take an
// Event as their abort signal.
class Event {
public:
    explicit Event(EventReset reset, bool initiallySet = false);  // throws int

    void Set();
    void Reset();
    // True when the event was signalled within `limit`; an auto-reset event is consumed by it.
    bool Wait(Millis limit);
    // A manual-reset event's state without waiting; for an auto-reset event this consumes it.
    bool IsSet() { return Wait(Millis(0)); }

    EventImpl& Impl() const { return *m_impl; }  // for the backends only

private:
    std::shared_ptr<EventImpl> m_impl;
};

// Waits until `first` or `second` is set: 0 for `first` (also when both are), 1 for `second`,
// -1 when `limit` passed. Consumes an auto-reset event that it reports. Throws int.
int WaitForEither(Event& first, Event& second, Millis limit);

}  // namespace platform
