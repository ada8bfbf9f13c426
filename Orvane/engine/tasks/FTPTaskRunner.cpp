#include "Orvane/engine/tasks/FTPTaskRunner.h"

#include <utility>

#include "Orvane/engine/tasks/ExceptionCode.h"
#include "Orvane/engine/tasks/FTPTaskCreateDirectory.h"
#include "Orvane/engine/tasks/FTPTaskGetDirectoryContent.h"
#include "Orvane/engine/tasks/FTPTaskRenameDirectory.h"
#include "Orvane/engine/tasks/FTPTaskTestConnection.h"
#include "Orvane/engine/tasks/FTPTaskUpload.h"
#include "platform/ErrorCodes.h"

CFTPTaskRunner::CFTPTaskRunner(FTPTimeouts timeouts)
    : CThreadDriver(kStopTimeout), m_timeouts(timeouts), m_waiter(m_done) {}

CFTPTaskRunner::~CFTPTaskRunner() {
    m_waiter.Destroy();
    // Stopped here rather than by the base destructor: the worker calls our ThreadProc, which
    // must not run on a half-destroyed runner.
    StopWorker();
    for (void* item : TakeQueuedItems()) delete static_cast<CFTPTask*>(item);
}

void CFTPTaskRunner::ThreadProc(void* item) {
    std::unique_ptr<CFTPTask> task(static_cast<CFTPTask*>(item));
    try {
        task->Execute();
    } catch (...) {
        // The window still gets its done message, so a job or a blocking wait does not wait
        // for it in vain; the worker goes on with the next task.
        task->ReportFailure(static_cast<std::uint32_t>(CurrentExceptionCode()));
    }
}

void CFTPTaskRunner::DiscardItem(void* item) {
    // No thread could be started for it: its window still hears that it failed, so an upload
    // job is retried rather than waiting for a message that never comes.
    std::unique_ptr<CFTPTask> task(static_cast<CFTPTask*>(item));
    task->ReportFailure(platform::kErrorNotEnoughMemory);
    m_discarded = true;
}

void CFTPTaskRunner::QueueTask(std::unique_ptr<CFTPTask> task) { QueueItem(task.release()); }

void CFTPTaskRunner::StartTestConnection(FTPSettings destination, platform::WindowRef window) {
    QueueTask(std::make_unique<CFTPTaskTestConnection>(window, std::move(destination), AbortEvent(), m_timeouts));
}

void CFTPTaskRunner::StartGetDirectoryContent(FTPSettings destination, platform::WindowRef window) {
    QueueTask(std::make_unique<CFTPTaskGetDirectoryContent>(window, std::move(destination), AbortEvent(),
                                                            m_timeouts));
}

void CFTPTaskRunner::StartCreateDirectory(FTPSettings destination, std::wstring folderPath,
                                          platform::WindowRef window) {
    QueueTask(std::make_unique<CFTPTaskCreateDirectory>(window, std::move(destination), AbortEvent(),
                                                        std::move(folderPath), m_timeouts));
}

void CFTPTaskRunner::StartRenameDirectory(FTPSettings destination, std::wstring oldPath,
                                          std::wstring newPath, platform::WindowRef window) {
    QueueTask(std::make_unique<CFTPTaskRenameDirectory>(window, std::move(destination), AbortEvent(),
                                                        std::move(oldPath), std::move(newPath),
                                                        m_timeouts));
}

void CFTPTaskRunner::StartUpload(FTPSettings destination, std::wstring jobKey, UploadFileMap files,
                                 platform::WindowRef window) {
    QueueTask(std::make_unique<CFTPTaskUpload>(window, std::move(destination), AbortEvent(), std::move(jobKey),
                                               std::move(files), m_timeouts));
}

CTaskResult CFTPTaskRunner::CreateDirectoryAndWait(FTPSettings destination, std::wstring folderPath,
                                                   platform::Millis timeout) {
    return RunAndWait(std::make_unique<CFTPTaskCreateDirectory>(m_waiter.Window(), std::move(destination),
                                                                AbortEvent(), std::move(folderPath),
                                                                m_timeouts),
                      timeout);
}

CTaskResult CFTPTaskRunner::RenameDirectoryAndWait(FTPSettings destination, std::wstring oldPath,
                                                   std::wstring newPath, platform::Millis timeout) {
    return RunAndWait(std::make_unique<CFTPTaskRenameDirectory>(m_waiter.Window(), std::move(destination),
                                                                AbortEvent(), std::move(oldPath),
                                                                std::move(newPath), m_timeouts),
                      timeout);
}

CTaskResult CFTPTaskRunner::RunAndWait(std::unique_ptr<CFTPTask> task, platform::Millis timeout) {
    // A late result of an earlier wait that timed out may have left the auto-reset event set;
    // it must not end this wait at once with that result.
    m_done.Reset();
    m_waiter.Expect();
    m_discarded = false;
    QueueTask(std::move(task));
    if (m_discarded) {
        m_waiter.Withdraw();  // it will never post: nothing to wait for
    } else if (platform::WaitPumpingMessages(m_done, timeout)) {
        return m_waiter.StoredResult();
    }
    return CTaskResult(platform::kErrorTimedOut, FTPReply{}, {});
}
