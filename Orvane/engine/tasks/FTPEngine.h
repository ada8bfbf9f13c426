#pragma once
#include <memory>
#include <string>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "Orvane/engine/tasks/FTPTaskRunner.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "store/FTPSettings.h"

// The engine as the rest of the program sees it: one operation per use, each copying its
// arguments into a task on the engine's own worker. Tasks of one engine run one after another;
// engines run in parallel. Create, use and destroy it on one UI thread (it owns a hidden
// window). Destroying it stops a running task (up to 60 s before its thread is abandoned).
class CFTPEngine {
public:
    explicit CFTPEngine(FTPTimeouts timeouts = {});  // throws int
    virtual ~CFTPEngine();
    CFTPEngine(const CFTPEngine&) = delete;
    CFTPEngine& operator=(const CFTPEngine&) = delete;

    void TestConnection(FTPSettings destination, platform::WindowRef notifyWindow);
    // Lists the destination's starting folder.
    void GetDirectoryContent(FTPSettings destination, platform::WindowRef notifyWindow);
    // In the destination's starting folder; the UI thread's messages keep flowing meanwhile.
    CTaskResult CreateDirectoryAndWait(FTPSettings destination, std::wstring folderName,
                                       platform::Millis timeout);
    CTaskResult RenameDirectoryAndWait(FTPSettings destination, std::wstring oldName,
                                       std::wstring newName, platform::Millis timeout);
    // Stores the files of `job` (only its file map is read) below the starting folder.
    void Upload(FTPSettings destination, std::wstring jobKey, const UploadJob& job,
                platform::WindowRef notifyWindow);

private:
    std::unique_ptr<CFTPTaskRunner> m_runner;
};
