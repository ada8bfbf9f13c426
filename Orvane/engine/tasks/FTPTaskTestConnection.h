#pragma once
#include "Orvane/engine/tasks/FTPTask.h"

// Connects, logs in and enters the starting folder, nothing more: the result says whether the
// server was reached, the login worked and the folder exists, and its transcript shows how.
// Posts WM_TEST_CONNECTION_STARTED and WM_TEST_CONNECTION_FINISHED with the result.
class CFTPTaskTestConnection : public CFTPTask {
public:
    CFTPTaskTestConnection(platform::WindowRef notifyWindow, FTPSettings destination,
                           platform::Event abortEvent, FTPTimeouts timeouts = {});
    void Execute() override;

private:
    void PostDone(std::unique_ptr<CTaskResult> result) override;
};
