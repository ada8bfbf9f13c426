#include "platform/Window.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "platform/posix/Deadline.h"
#include "platform/posix/ErrnoMapping.h"
#include "platform/posix/EventImpl.h"
#include "platform/posix/WindowQueue.h"

// Windows off Windows: every window belongs to the thread that created it, and each thread has
// one queue in which the messages posted to all its windows wait in the order they were posted,
// as in a Windows thread's message queue. Windows with a handler (MessageWindow) are served when
// their thread dispatches; a WindowQueue's messages stay until its test reads them.

namespace platform {

namespace {

struct QueuedMessage {
    std::intptr_t window;
    posix::PostedMessage message;
};

struct ThreadQueue {
    std::mutex lock;
    std::condition_variable posted;  // for WindowQueue::Take
    std::deque<QueuedMessage> messages;
    Event arrived{EventReset::Auto};  // for WaitPumpingMessages: new messages since it looked
};

struct WindowEntry {
    std::shared_ptr<ThreadQueue> queue;
    std::shared_ptr<MessageHandler> handler;  // null for a WindowQueue
};

// Lock order: the windows lock before a thread queue's lock. Posting holds both, so that a
// window destroyed under the windows lock can never receive a message afterwards.
std::mutex g_windowsLock;
std::map<std::intptr_t, WindowEntry> g_windows;
std::intptr_t g_lastHandle = 0;  // handles are never reused: a stale WindowRef stays dead

std::shared_ptr<ThreadQueue> CurrentThreadQueue() {
    thread_local std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
    return queue;
}

WindowRef CreateNativeWindow(std::shared_ptr<MessageHandler> handler) {
    std::lock_guard guard(g_windowsLock);
    std::intptr_t handle = ++g_lastHandle;
    g_windows.emplace(handle, WindowEntry{CurrentThreadQueue(), std::move(handler)});
    return WindowRef{handle};
}

// Unregisters the window and takes out what is still queued for it.
std::vector<posix::PostedMessage> DestroyNativeWindow(WindowRef window) {
    std::vector<posix::PostedMessage> pending;
    std::lock_guard guard(g_windowsLock);
    auto found = g_windows.find(window.handle);
    if (found == g_windows.end()) return pending;
    std::shared_ptr<ThreadQueue> queue = found->second.queue;
    g_windows.erase(found);
    std::lock_guard queueGuard(queue->lock);
    std::erase_if(queue->messages, [&](const QueuedMessage& queued) {
        if (queued.window != window.handle) return false;
        pending.push_back(queued.message);
        return true;
    });
    return pending;
}

// Takes the calling thread's oldest message for a window with a handler.
bool TakeDispatchable(std::shared_ptr<MessageHandler>& handler, posix::PostedMessage& message) {
    std::shared_ptr<ThreadQueue> queue = CurrentThreadQueue();
    std::lock_guard guard(g_windowsLock);
    std::lock_guard queueGuard(queue->lock);
    for (auto it = queue->messages.begin(); it != queue->messages.end(); ++it) {
        auto window = g_windows.find(it->window);
        if (window == g_windows.end() || !window->second.handler) continue;
        handler = window->second.handler;
        message = it->message;
        queue->messages.erase(it);
        return true;
    }
    return false;
}

}  // namespace

bool PostToWindow(WindowRef window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::shared_ptr<ThreadQueue> queue;
    {
        std::lock_guard guard(g_windowsLock);
        auto found = g_windows.find(window.handle);
        if (found == g_windows.end()) return false;
        queue = found->second.queue;
        std::lock_guard queueGuard(queue->lock);
        queue->messages.push_back({window.handle, {message, wParam, lParam}});
    }
    queue->posted.notify_all();
    queue->arrived.Set();
    return true;
}

bool IsWindowAlive(WindowRef window) {
    std::lock_guard guard(g_windowsLock);
    return g_windows.count(window.handle) != 0;
}

struct MessageWindow::State {
    std::shared_ptr<MessageHandler> handler;
};

MessageWindow::MessageWindow(const std::wstring&, MessageHandler handler)
    : m_state(std::make_unique<State>()) {
    m_state->handler = std::make_shared<MessageHandler>(std::move(handler));
    m_window = CreateNativeWindow(m_state->handler);
}

MessageWindow::~MessageWindow() { Destroy(); }

void MessageWindow::Destroy() {
    if (m_window.handle == 0) return;
    for (const posix::PostedMessage& message : DestroyNativeWindow(m_window))
        (*m_state->handler)(message.message, message.wParam, message.lParam);
    m_window = WindowRef{};
}

void DispatchPendingMessages() {
    std::shared_ptr<MessageHandler> handler;
    posix::PostedMessage message;
    // The handler runs without any lock held: it may post, create or destroy windows.
    while (TakeDispatchable(handler, message)) (*handler)(message.message, message.wParam, message.lParam);
}

bool WaitPumpingMessages(Event& event, Millis limit) {
    EventImpl& signal = event.Impl();
    EventImpl& arrived = CurrentThreadQueue()->arrived.Impl();
    for (;;) {
        DispatchPendingMessages();
        const posix::Deadline deadline(limit);
        for (;;) {
            pollfd ready[2] = {{signal.fd, POLLIN, 0}, {arrived.fd, POLLIN, 0}};
            if (::poll(ready, 2, deadline.PollTimeout()) < 0 && errno != EINTR)
                throw posix::WindowsErrorFromErrno(errno);
            // The event comes first, as the first handle of a Windows wait does.
            if (signal.TryTake()) return true;
            if (arrived.TryTake()) break;
            if (deadline.Expired()) return false;
        }
    }
}

namespace posix {

WindowQueue::WindowQueue() : m_window(CreateNativeWindow(nullptr)) {}

WindowQueue::~WindowQueue() { Destroy(); }

std::optional<PostedMessage> WindowQueue::Take(Millis limit) {
    std::shared_ptr<ThreadQueue> queue;
    {
        std::lock_guard guard(g_windowsLock);
        auto found = g_windows.find(m_window.handle);
        if (found == g_windows.end()) return std::nullopt;
        queue = found->second.queue;
    }
    std::unique_lock queueGuard(queue->lock);
    std::optional<PostedMessage> taken;
    auto takeOne = [&] {
        for (auto it = queue->messages.begin(); it != queue->messages.end(); ++it) {
            if (it->window != m_window.handle) continue;
            taken = it->message;
            queue->messages.erase(it);
            return true;
        }
        return false;
    };
    if (limit == kInfinite)
        queue->posted.wait(queueGuard, takeOne);
    else
        queue->posted.wait_for(queueGuard, limit, takeOne);
    return taken;
}

std::vector<PostedMessage> WindowQueue::Destroy() {
    std::vector<PostedMessage> pending = DestroyNativeWindow(m_window);
    m_window = WindowRef{};
    return pending;
}

}  // namespace posix

}  // namespace platform
