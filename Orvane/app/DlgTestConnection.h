#pragma once
#include "Orvane/engine/dialogs/Dialog.h"
#include "Orvane/engine/tasks/FTPEngine.h"
#include "store/FTPSettings.h"

// Tests a destination: logs in, lists, logs out, showing "Connecting" with growing dots until
// the result arrives, then the result and for a failure the transcript. Only OK closes it.
class CDlgTestConnection final : public CDialog {
public:
    explicit CDlgTestConnection(const FTPSettings& destination);

private:
    INT_PTR OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinished(WPARAM wParam);

    FTPSettings m_destination;
    CFTPEngine m_engine;
    bool m_running = false;
};
