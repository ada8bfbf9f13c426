#include "Orvane/engine/dialogs/PendingTaskMessages.h"

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/Window.h"

#include <memory>
#include <string>

namespace {

std::unique_ptr<std::wstring> AdoptText(std::uintptr_t parameter) {
    return platform::AdoptPosted<std::wstring>(parameter);
}

}  // namespace

void DiscardPendingTaskMessages(HWND window) {
    MSG message;
    while (::PeekMessageW(&message, window, WM_UPLOAD_STARTED, WM_UPLOAD_RESUMED, PM_REMOVE)) {
        const auto w = static_cast<std::uintptr_t>(message.wParam);
        const auto l = static_cast<std::uintptr_t>(message.lParam);
        switch (message.message) {
        case WM_UPLOAD_STARTED: AdoptText(l); break;
        case WM_UPLOAD_PROGRESS:
        case WM_UPLOAD_RESUMED: AdoptText(w); break;
        case WM_UPLOAD_STATUS:
        case WM_UPLOAD_FILE_DONE: AdoptText(w), AdoptText(l); break;
        case WM_UPLOAD_FINISHED: platform::AdoptPosted<CTaskResult>(w), AdoptText(l); break;
        case WM_UPLOAD_FILE_SKIPPED: AdoptText(w), platform::AdoptPosted<UploadSkip>(l); break;
        default: break;
        }
    }
    for (UINT done : {WM_TEST_CONNECTION_FINISHED, WM_LIST_FINISHED, WM_MKDIR_FINISHED, WM_RENAME_FINISHED}) {
        while (::PeekMessageW(&message, window, done, done, PM_REMOVE)) {
            platform::AdoptPosted<CTaskResult>(message.wParam);
            if (done == WM_LIST_FINISHED) platform::AdoptPosted<DirectoryContent>(message.lParam);
        }
    }
}
