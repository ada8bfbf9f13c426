#pragma once
#include <string>

#include "Orvane/engine/tasks/FTPTask.h"

// Renames a folder (RNFR, RNTO) in the destination's starting folder, which the caller sets to
// the folder it acts in. Posts WM_RENAME_STARTED and WM_RENAME_FINISHED with the result.
class CFTPTaskRenameDirectory : public CFTPTask {
public:
    CFTPTaskRenameDirectory(platform::WindowRef notifyWindow, FTPSettings destination,
                            platform::Event abortEvent, std::wstring oldPath, std::wstring newPath,
                            FTPTimeouts timeouts = {});
    void Execute() override;

private:
    void PostDone(std::unique_ptr<CTaskResult> result) override;

    std::wstring m_oldPath;
    std::wstring m_newPath;
};
