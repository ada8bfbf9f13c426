#include "Orvane/engine/tasks/FTPTaskRenameDirectory.h"

#include <utility>

#include "Orvane/engine/protocol/FTPCommandSequenceRenameDir.h"
#include "Orvane/engine/tasks/TaskMessages.h"

CFTPTaskRenameDirectory::CFTPTaskRenameDirectory(platform::WindowRef notifyWindow,
                                                 FTPSettings destination, platform::Event abortEvent,
                                                 std::wstring oldPath, std::wstring newPath,
                                                 FTPTimeouts timeouts)
    : CFTPTask(notifyWindow, std::move(destination), std::move(abortEvent), timeouts),
      m_oldPath(std::move(oldPath)),
      m_newPath(std::move(newPath)) {}

void CFTPTaskRenameDirectory::Execute() {
    platform::PostToWindow(NotifyWindow(), WM_RENAME_STARTED, 0, 0);
    auto result = RunSession([&](Session& session) {
        EnterStartingFolder(session);
        session.reply = session.Open<CFTPCommandSequenceRenameDir>().Run(session.WireName(m_oldPath),
                                                                         session.WireName(m_newPath));
    });
    Finish(std::move(result));
}

void CFTPTaskRenameDirectory::PostDone(std::unique_ptr<CTaskResult> result) {
    platform::PostOwned(NotifyWindow(), WM_RENAME_FINISHED, std::move(result), 0);
}
