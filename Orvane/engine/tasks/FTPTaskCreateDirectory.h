#pragma once
#include <string>

#include "Orvane/engine/tasks/FTPTask.h"

// Creates a folder path (MKD per backslash-separated component) below the destination's
// starting folder, which the caller sets to the folder it acts in. Posts WM_MKDIR_STARTED and
// WM_MKDIR_FINISHED with the result.
class CFTPTaskCreateDirectory : public CFTPTask {
public:
    CFTPTaskCreateDirectory(platform::WindowRef notifyWindow, FTPSettings destination,
                            platform::Event abortEvent, std::wstring folderPath,
                            FTPTimeouts timeouts = {});
    void Execute() override;

private:
    void PostDone(std::unique_ptr<CTaskResult> result) override;

    std::wstring m_folderPath;
};
