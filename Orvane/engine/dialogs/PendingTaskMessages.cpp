#include "Orvane/engine/dialogs/PendingTaskMessages.h"

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/Window.h"

void DiscardPendingTaskMessages(HWND window) {
    MSG message;
    for (UINT done : {WM_TEST_CONNECTION_FINISHED, WM_LIST_FINISHED, WM_MKDIR_FINISHED, WM_RENAME_FINISHED}) {
        while (::PeekMessageW(&message, window, done, done, PM_REMOVE)) {
            platform::AdoptPosted<CTaskResult>(message.wParam);
            if (done == WM_LIST_FINISHED) platform::AdoptPosted<DirectoryContent>(message.lParam);
        }
    }
}
