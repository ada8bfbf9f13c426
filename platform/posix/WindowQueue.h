#pragma once
// The stand-in for a real window off Windows: a window whose posted messages stay queued until
// the test that owns it reads them. Engines post to it through WindowRef as to any window.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Time.h"
#include "platform/Window.h"

namespace platform::posix {

struct PostedMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class WindowQueue {
public:
    WindowQueue();   // a live window of the calling thread
    ~WindowQueue();  // destroys it; whatever is still queued is dropped, so read it first
    WindowQueue(const WindowQueue&) = delete;
    WindowQueue& operator=(const WindowQueue&) = delete;

    WindowRef Ref() const { return m_window; }

    // The oldest message posted to this window, waiting up to `limit`; nullopt after that.
    // Any thread may read.
    std::optional<PostedMessage> Take(Millis limit);

    // Destroys the window: later posts to it fail. Returns what was still queued for it, in
    // the order posted, so the caller can free what those messages own. Idempotent.
    std::vector<PostedMessage> Destroy();

private:
    WindowRef m_window;
};

}  // namespace platform::posix
