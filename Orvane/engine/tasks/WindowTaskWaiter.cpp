#include "Orvane/engine/tasks/WindowTaskWaiter.h"

#include <memory>
#include <utility>

#include "Orvane/engine/tasks/TaskMessages.h"

CWindowTaskWaiter::CWindowTaskWaiter(platform::Event doneEvent)
    : m_done(std::move(doneEvent)),
      m_window(L"InternalFTPEngine", [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
          return OnMessage(message, wParam, lParam);
      }) {}

bool CWindowTaskWaiter::OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t) {
    switch (message) {
    case WM_MKDIR_STARTED:
    case WM_RENAME_STARTED:
        return true;
    case WM_MKDIR_FINISHED:
    case WM_RENAME_FINISHED: {
        std::unique_ptr<CTaskResult> result = platform::AdoptPosted<CTaskResult>(wParam);
        if (!result) return true;
        m_stored = std::move(*result);
        if (++m_received == m_expected) m_done.Set();
        return true;
    }
    }
    return false;
}
