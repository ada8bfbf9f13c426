#include "Orvane/engine/tasks/FTPTaskCreateDirectory.h"

#include <utility>

#include "Orvane/engine/protocol/FTPCommandSequenceCreateDir.h"
#include "Orvane/engine/tasks/TaskMessages.h"

CFTPTaskCreateDirectory::CFTPTaskCreateDirectory(platform::WindowRef notifyWindow,
                                                 FTPSettings destination, platform::Event abortEvent,
                                                 std::wstring folderPath, FTPTimeouts timeouts)
    : CFTPTask(notifyWindow, std::move(destination), std::move(abortEvent), timeouts),
      m_folderPath(std::move(folderPath)) {}

void CFTPTaskCreateDirectory::Execute() {
    platform::PostToWindow(NotifyWindow(), WM_MKDIR_STARTED, 0, 0);
    auto result = RunSession([&](Session& session) {
        EnterStartingFolder(session);
        session.reply = session.Open<CFTPCommandSequenceCreateDir>().Run(session.WireName(m_folderPath));
    });
    Finish(std::move(result));
}

void CFTPTaskCreateDirectory::PostDone(std::unique_ptr<CTaskResult> result) {
    platform::PostOwned(NotifyWindow(), WM_MKDIR_FINISHED, std::move(result), 0);
}
