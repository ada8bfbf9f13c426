#include "Orvane/app/DlgTestConnection.h"

#include "Orvane/engine/dialogs/CertificateQuestion.h"
#include "Orvane/engine/dialogs/DialogTexts.h"
#include "Orvane/engine/dialogs/PendingTaskMessages.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Strings.h"

namespace {
constexpr UINT_PTR kConnectingTimer = 1003;
}

CDlgTestConnection::CDlgTestConnection(FTPSettings& destination)
    : CDialog(IDD_TEST_CONNECTION), m_destination(&destination) {}

INT_PTR CDlgTestConnection::OnInitDialog() {
    CentreOnOwner();
    ::SendDlgItemMessageW(Handle(), IDC_TEST_ERROR_ICON, STM_SETICON,
                          reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_HAND)), 0);
    ShowItem(IDC_TEST_ERROR_ICON, false);
    ::SendDlgItemMessageW(Handle(), IDC_TEST_INFO_ICON, STM_SETICON,
                          reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ASTERISK)), 0);
    StartTest();
    return TRUE;
}

void CDlgTestConnection::StartTest() {
    ShowItem(IDC_TEST_ERROR_ICON, false);
    ShowItem(IDC_TEST_INFO_ICON, true);
    SetItemText(IDC_TEST_TEXT, L"");
    AppendText(Item(IDC_TEST_TEXT), platform::LoadText(IDS_CONNECTING));
    m_engine.TestConnection(*m_destination, platform::WindowRef{reinterpret_cast<std::intptr_t>(Handle())});
}

bool CDlgTestConnection::OnCommand(int id, int) {
    if (id == IDOK) End(IDOK);
    return id == IDOK || id == IDCANCEL;  // Esc and the close box do nothing
}

std::optional<INT_PTR> CDlgTestConnection::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TEST_CONNECTION_STARTED:
        ::SetTimer(Handle(), kConnectingTimer, 1000, nullptr);
        m_running = true;
        return TRUE;
    case WM_TEST_CONNECTION_FINISHED:
        OnFinished(wParam);
        return TRUE;
    case WM_TIMER:
        if (wParam != kConnectingTimer || !m_running) return std::nullopt;
        SetItemText(IDC_TEST_TEXT, NextWaitingText(ItemText(IDC_TEST_TEXT, 255), platform::LoadText(IDS_CONNECTING)));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != Item(IDC_TEST_TEXT)) return std::nullopt;
        return WindowColourBrush();
    case WM_DESTROY:
        DiscardPendingTaskMessages(Handle());
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void CDlgTestConnection::OnFinished(WPARAM wParam) {
    const auto result = platform::AdoptPosted<CTaskResult>(wParam);
    ::KillTimer(Handle(), kConnectingTimer);
    m_running = false;
    if (!result) return;
    const bool succeeded = result->Succeeded();
    ShowItem(IDC_TEST_ERROR_ICON, !succeeded);
    ShowItem(IDC_TEST_INFO_ICON, succeeded);
    SetItemText(IDC_TEST_TEXT, L"");
    AppendText(Item(IDC_TEST_TEXT),
               TaskResultText(*result, platform::LoadText(succeeded ? IDS_TEST_SUCCEEDED : IDS_TEST_FAILED)));
    if (const auto trusted = AskToTrustCertificate(ActiveOwner(), *result)) {
        m_destination->trustedCertificate = *trusted;
        StartTest();
    }
}
