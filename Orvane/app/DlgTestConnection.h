#pragma once
#include "Orvane/engine/dialogs/Dialog.h"
#include "Orvane/engine/tasks/FTPEngine.h"
#include "store/FTPSettings.h"

// Tests a destination: logs in, enters the starting folder, logs out, showing "Connecting" with
// growing dots until the result arrives, then the result and for a failure the transcript. When
// the server's certificate was refused, it shows the certificate and asks whether to trust it; Yes
// puts its fingerprint into the caller's record and tests again. Only OK closes it.
class CDlgTestConnection final : public CDialog {
public:
    explicit CDlgTestConnection(FTPSettings& destination);

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void StartTest();
    void OnFinished(WPARAM wParam);

    FTPSettings* m_destination;
    CFTPEngine m_engine;
    bool m_running = false;
};
