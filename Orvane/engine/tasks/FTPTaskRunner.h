#pragma once
#include <memory>
#include <string>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "Orvane/engine/tasks/FTPTask.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "Orvane/engine/tasks/ThreadDriver.h"
#include "Orvane/engine/tasks/WindowTaskWaiter.h"
#include "platform/Event.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "store/FTPSettings.h"

// Runs the engine's tasks one after another on a worker started on demand. Created, used and
// destroyed on a UI thread (it owns a hidden window of that thread). Every operation copies its
// arguments into a task and returns once the task is queued.
class CFTPTaskRunner : public CThreadDriver {
public:
    static constexpr platform::Millis kStopTimeout{60000};

    // `timeouts` are the socket waits of the tasks it creates.
    explicit CFTPTaskRunner(FTPTimeouts timeouts = {});  // throws int
    // Destroys the waiter window, then stops a running task (it gets the stop signal and up to
    // kStopTimeout to end) and deletes the tasks that never ran.
    ~CFTPTaskRunner() override;

    void StartTestConnection(FTPSettings destination, platform::WindowRef window);
    void StartGetDirectoryContent(FTPSettings destination, platform::WindowRef window);
    void StartCreateDirectory(FTPSettings destination, std::wstring folderPath,
                              platform::WindowRef window);
    void StartRenameDirectory(FTPSettings destination, std::wstring oldPath, std::wstring newPath,
                              platform::WindowRef window);
    void StartUpload(FTPSettings destination, std::wstring jobKey, UploadFileMap files,
                     platform::WindowRef window);

    // Run the task and wait for its result while the UI thread's messages keep flowing (UI
    // handlers may run meanwhile). After `timeout` with no message and no result: a result with
    // error code 10060; the task goes on and its late result changes nothing later.
    CTaskResult CreateDirectoryAndWait(FTPSettings destination, std::wstring folderPath,
                                       platform::Millis timeout);
    CTaskResult RenameDirectoryAndWait(FTPSettings destination, std::wstring oldPath,
                                       std::wstring newPath, platform::Millis timeout);

    // Queues a task built with AbortEvent() and Timeouts(); the runner owns it from here on.
    void QueueTask(std::unique_ptr<CFTPTask> task);

    platform::Event AbortEvent() const { return StopEvent(); }
    const FTPTimeouts& Timeouts() const { return m_timeouts; }

protected:
    void ThreadProc(void* item) override;
    void DiscardItem(void* item) override;

private:
    CTaskResult RunAndWait(std::unique_ptr<CFTPTask> task, platform::Millis timeout);

    FTPTimeouts m_timeouts;
    platform::Event m_done{platform::EventReset::Auto};
    CWindowTaskWaiter m_waiter;
    bool m_discarded = false;  // set by DiscardItem during QueueTask
};
