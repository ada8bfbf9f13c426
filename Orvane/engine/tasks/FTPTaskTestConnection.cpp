#include "Orvane/engine/tasks/FTPTaskTestConnection.h"

#include <utility>

#include "Orvane/engine/tasks/TaskMessages.h"

CFTPTaskTestConnection::CFTPTaskTestConnection(platform::WindowRef notifyWindow, FTPSettings destination,
                                               platform::Event abortEvent, FTPTimeouts timeouts)
    : CFTPTask(notifyWindow, std::move(destination), std::move(abortEvent), timeouts) {}

void CFTPTaskTestConnection::Execute() {
    platform::PostToWindow(NotifyWindow(), WM_TEST_CONNECTION_STARTED, 0, 0);
    auto result = RunSession([&](Session& session) { EnterStartingFolder(session); });
    Finish(std::move(result));
}

void CFTPTaskTestConnection::PostDone(std::unique_ptr<CTaskResult> result) {
    platform::PostOwned(NotifyWindow(), WM_TEST_CONNECTION_FINISHED, std::move(result), 0);
}
