#include "platform/Event.h"

#include "platform/win32/EventImpl.h"
#include "platform/win32/Wait.h"

namespace platform {

Event::Event(EventReset reset, bool initiallySet) : m_impl(std::make_shared<EventImpl>()) {
    m_impl->handle.Reset(
        ::CreateEventW(nullptr, reset == EventReset::Manual ? TRUE : FALSE, initiallySet ? TRUE : FALSE,
                       nullptr));
    if (!m_impl->handle) throw static_cast<int>(::GetLastError());
}

void Event::Set() { ::SetEvent(m_impl->handle.Get()); }

void Event::Reset() { ::ResetEvent(m_impl->handle.Get()); }

bool Event::Wait(Millis limit) {
    return ::WaitForSingleObject(m_impl->handle.Get(), win32::ToWaitMillis(limit)) == WAIT_OBJECT_0;
}

int WaitForEither(Event& first, Event& second, Millis limit) {
    const HANDLE events[2] = {first.Impl().handle.Get(), second.Impl().handle.Get()};
    switch (::WaitForMultipleObjects(2, events, FALSE, win32::ToWaitMillis(limit))) {
    case WAIT_OBJECT_0: return 0;
    case WAIT_OBJECT_0 + 1: return 1;
    case WAIT_TIMEOUT: return -1;
    default: throw static_cast<int>(::GetLastError());
    }
}

}  // namespace platform
