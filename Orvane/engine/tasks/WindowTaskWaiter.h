#pragma once
#include <cstdint>

#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/Event.h"
#include "platform/Window.h"

// The hidden window that a blocking operation names as its task's notify window. It keeps the
// result of each done message and signals the done event when the result that the current
// operation waits for has come. Lives on the UI thread that created it.
class CWindowTaskWaiter {
public:
    explicit CWindowTaskWaiter(platform::Event doneEvent);  // throws int
    CWindowTaskWaiter(const CWindowTaskWaiter&) = delete;
    CWindowTaskWaiter& operator=(const CWindowTaskWaiter&) = delete;

    platform::WindowRef Window() const { return m_window.Ref(); }

    // One more blocking task has been queued for this window. Its tasks run one after another
    // on one worker and each posts one done message, so done messages arrive in this order;
    // only the one for the latest operation signals the done event. A late result of an
    // operation that timed out is stored but ends no later wait.
    void Expect() { ++m_expected; }
    // The task just expected will never run (no thread could be started for it).
    void Withdraw() { --m_expected; }

    const CTaskResult& StoredResult() const { return m_stored; }

    // Frees what the messages still queued for the window own, then destroys it: tasks that
    // end later find it gone and free their results themselves.
    void Destroy() { m_window.Destroy(); }

private:
    bool OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    platform::Event m_done;
    CTaskResult m_stored;
    std::uint64_t m_expected = 0;
    std::uint64_t m_received = 0;
    platform::MessageWindow m_window;  // last: it may call OnMessage until it is destroyed
};
