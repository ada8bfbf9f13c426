#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Event.h"
#include "platform/Time.h"

namespace platform {

// A window that receives posted messages: an HWND on Windows, a queue of this process
// elsewhere. Not owned; the window may be gone by the time anyone posts to it.
struct WindowRef {
    std::intptr_t handle = 0;
    bool operator==(const WindowRef&) const = default;
};

// Queues a message for the thread that owns `window` and returns at once; false when the
// window no longer exists (or the queue refused the message).
bool PostToWindow(WindowRef window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
bool IsWindowAlive(WindowRef window);

// Posting hands a heap object to the receiving window, which adopts it with AdoptPosted on the
// first line of its handler. Until the post has succeeded the sender owns it: when the window is
// gone, the unique_ptr frees it here, so exactly one side deletes it.
//
// Any program on the desktop can post any message to our windows, with parameters of its own
// making. So every object in flight is entered in a process-wide list of posted objects, with its
// type, before it is posted, and AdoptPosted takes only what it finds there: a parameter that this
// process did not post (or that was adopted already, or posted as another type) yields null, and
// the handler ignores the message. Number-valued parameters never enter the list.
namespace posted {

// One tag per posted type; its address tells the types apart.
template <class T>
inline const char kType = 0;

// Enters `object` (may be null: nothing is entered) into the list; it must not be there yet.
void Enter(const void* object, const void* type);
// Takes `object` out again, after a post that failed.
void Withdraw(const void* object);
// Takes the object named by `parameter` out of the list when it was entered with `type`, and
// returns it; null for anything else.
void* Take(std::uintptr_t parameter, const void* type);

template <class T>
std::uintptr_t Enter(const std::unique_ptr<T>& object) {
    Enter(object.get(), &kType<T>);
    return reinterpret_cast<std::uintptr_t>(object.get());
}

}  // namespace posted

template <class W, class L>
bool PostOwned(WindowRef window, unsigned message, std::unique_ptr<W> wParam,
               std::unique_ptr<L> lParam) {
    const std::uintptr_t w = posted::Enter(wParam), l = posted::Enter(lParam);
    if (!PostToWindow(window, message, w, static_cast<std::intptr_t>(l))) {
        posted::Withdraw(wParam.get());
        posted::Withdraw(lParam.get());
        return false;
    }
    wParam.release();
    lParam.release();
    return true;
}

template <class W>
bool PostOwned(WindowRef window, unsigned message, std::unique_ptr<W> wParam, std::intptr_t lParam) {
    if (!PostToWindow(window, message, posted::Enter(wParam), lParam)) {
        posted::Withdraw(wParam.get());
        return false;
    }
    wParam.release();
    return true;
}

template <class L>
bool PostOwned(WindowRef window, unsigned message, std::uintptr_t wParam, std::unique_ptr<L> lParam) {
    if (!PostToWindow(window, message, wParam, static_cast<std::intptr_t>(posted::Enter(lParam)))) {
        posted::Withdraw(lParam.get());
        return false;
    }
    lParam.release();
    return true;
}

// The object a message parameter carries, now owned by the caller; null when the parameter is
// not an object of type T that this process posted and nobody adopted yet.
template <class T>
std::unique_ptr<T> AdoptPosted(std::uintptr_t parameter) {
    return std::unique_ptr<T>(static_cast<T*>(posted::Take(parameter, &posted::kType<T>)));
}
template <class T>
std::unique_ptr<T> AdoptPosted(std::intptr_t parameter) {
    return AdoptPosted<T>(static_cast<std::uintptr_t>(parameter));
}

// Handles one message; false passes it to the system's default handling.
using MessageHandler = std::function<bool(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)>;

// A hidden top-level window of the calling thread, of the given class, whose messages go to
// `handler` when that thread dispatches them (WaitPumpingMessages, DispatchPendingMessages, or
// the program's message loop). Must be created, used and destroyed on one thread.
class MessageWindow {
public:
    MessageWindow(const std::wstring& className, MessageHandler handler);  // throws int
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    WindowRef Ref() const { return m_window; }

    // Hands every message still queued for this window to the handler (so it can free what
    // they own), then destroys the window: later posts to it fail. Idempotent.
    void Destroy();

    struct State;  // the backend's; public only so that the window procedure can reach it

private:
    WindowRef m_window;
    std::unique_ptr<State> m_state;
};

// Removes and dispatches every message waiting for the calling thread.
void DispatchPendingMessages();

// Waits for `event` while the calling thread's messages keep being dispatched. Each time
// messages arrive they are dispatched and the wait starts again with the full `limit`, so the
// whole wait grows while messages keep coming. A quit request that arrives meanwhile is taken
// out of the way and put back when the wait ends, so the thread's message loop still ends.
// Returns false when `limit` passed without the event (an auto-reset event is consumed).
bool WaitPumpingMessages(Event& event, Millis limit);

}  // namespace platform
