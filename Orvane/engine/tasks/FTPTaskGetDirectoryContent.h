#pragma once
#include <memory>
#include <string>

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/tasks/FTPTask.h"

// Lists the destination's starting folder (the folder being browsed), or, when that is gone,
// its nearest ancestor that still exists. Posts WM_LIST_STARTED and WM_LIST_FINISHED with the
// result and the parsed listing of the folder really entered (null when the task failed). A
// LIST refused as an empty folder is ("450 No files found") gives an empty listing.
class CFTPTaskGetDirectoryContent : public CFTPTask {
public:
    CFTPTaskGetDirectoryContent(platform::WindowRef notifyWindow, FTPSettings destination,
                                platform::Event abortEvent, FTPTimeouts timeouts = {});
    void Execute() override;

private:
    void PostDone(std::unique_ptr<CTaskResult> result) override;

    // CWD into the starting folder or its nearest ancestor that the server does not refuse
    // with 550; records the folder entered as the starting folder.
    void EnterNearestFolder(Session& session);

    std::unique_ptr<DirectoryContent> m_content;  // goes with the done message; null on failure
};
