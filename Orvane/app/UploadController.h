#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/DataProtection.h"
#include "platform/Registry.h"
#include "store/FTPSettings.h"

// What the job controller needs from the windows around it; the uploader's main dialog provides
// it, tests provide plain fakes.
class UploadControllerHost {
public:
    virtual ~UploadControllerHost() = default;
    // Starts the engine's upload of `job` (only its files are read) to `destination`.
    virtual void StartUpload(const FTPSettings& destination, const std::wstring& key, const UploadJob& job) = 0;
    // The remote folder browser on `destination`, modal: messages, hand-offs included, go on
    // reaching the controller while it is open. False when the user cancelled it.
    virtual bool ConfirmFolder(FTPSettings& destination) = 0;
    virtual void CloseAndQuit() = 0;
    virtual void StartRetryTimer(std::uint32_t milliseconds) = 0;
    virtual void KillRetryTimer() = 0;
    // Calls OnRedrawTimer once, `milliseconds` from now.
    virtual void StartRedrawTimer(std::uint32_t milliseconds) = 0;
    // Calls OnDeferredHandOff once, from the message loop, soon.
    virtual void ScheduleDeferredHandOff() = 0;
    // The tray operations reach the shell with a sent message; while one waits, messages sent
    // to this thread (a hand-off among them) are handled.
    virtual void ShowResourceIcon(int id) = 0;
    virtual void ShowProgressIcon(int percent) = 0;
    virtual void SetTooltip(const std::wstring& text) = 0;
    virtual void ShowErrorBalloon(const std::wstring& title, const std::wstring& text) = 0;
    // The yes/no stop question; true for Yes.
    virtual bool AskToStop(const std::wstring& question) = 0;
    // The error information dialog, modal like the browser: 4 Retry, 3 Stop, nullopt when it
    // could not be shown.
    virtual std::optional<int> ShowErrorDialog(const CTaskResult& result, const UploadJob& job) = 0;
    // The warning that a finished job left items out. Modal: other messages (a hand-off, a job's
    // end) are handled before it returns.
    virtual void ShowLeftOutReport(const std::wstring& text) = 0;
    virtual std::uint32_t NowTick() = 0;
};

// Resource ids of the tray icons.
inline constexpr int kUploadingIcon = 210;
inline constexpr int kFailedIcon = 209;

// The uploader's jobs: every hand-off becomes a job; one runs at a time, in the order of their
// keys; a failure is retried after min(n x 20 s, 600 s), n counting every retry of the program's
// life; the program ends once no job is left and no folder confirmation or report is open. Items
// that could not be read are left out of a job, and the user is told which once it has
// succeeded. A job keeps the remote folder the user confirmed for it; a job nobody confirmed
// (folder confirmation off) follows the destination's starting folder as it is at each start, so
// a folder corrected in the settings is used at the next retry.
class UploadController {
public:
    UploadController(UploadControllerHost& host, platform::Registry& registry, platform::DataProtection& protection);

    // A hand-off for destination `number` whose key is named `key`.
    void OnHandOff(std::int32_t number, const std::wstring& key);
    // The oldest hand-off that arrived during a tray update, handled now.
    void OnDeferredHandOff();
    void OnUploadStarted(const std::wstring& key);
    void OnProgress(const std::wstring& localPath, std::int64_t bytes);
    // The file's transfer starts over at `bytes` already on the server (0: from its start): those
    // count as done but not as sent, and what this run counted for the file before no longer
    // counts.
    void OnResumed(const std::wstring& localPath, std::int64_t bytes);
    void OnFileDone(const std::wstring& localPath, const std::wstring& key);
    // The upload task could not open the file when its turn came and went on without it.
    void OnFileSkipped(const std::wstring& localPath, const std::wstring& key, int errorCode);
    void OnUploadFinished(const CTaskResult& result, const std::wstring& key);
    void OnRetryTimer();
    // The tooltip held back by the twice-a-second rule is drawn now.
    void OnRedrawTimer();
    // The stop question (or the end at once when no job is current).
    void ConfirmStop();
    // The error dialog, with the automatic retry held while it is open. Only while a failure is
    // pending: a click on an old balloon after the job was restarted shows nothing.
    void ShowErrorInformation();
    // The program is ending (CloseAndQuit): nothing starts and no hand-off is dropped after this.
    void OnEnding() { m_ending = true; }
    // Inside a tray operation, where a message sent to this thread arrives in the middle of the
    // controller's work: what opens a modal loop waits for the message loop instead.
    bool InTrayUpdate() const { return m_trayUpdates > 0; }

    bool ErrorState() const { return m_errorState; }
    const UploadJob* CurrentJob() const;
    const std::map<std::wstring, UploadJob>& Jobs() const { return m_jobs; }
    const CTaskResult& LastResult() const { return m_lastResult; }

private:
    void Start(UploadJob& job);
    void RetryCurrent();
    void EndProgram();
    void EndIfIdle();
    template <class Call>
    void TrayUpdate(Call call);
    void ShowProgress(const UploadJob& job);
    void ShowProgressTooltip(const UploadJob& job, std::uint32_t now);
    void DeleteHandOffKey(std::int32_t number, const std::wstring& key);
    std::uint32_t RetryDelay() const;
    void ShowLeftOutReport(const std::wstring& text);
    UploadJob* Find(const std::wstring& key);

    UploadControllerHost& m_host;
    platform::Registry& m_registry;
    platform::DataProtection& m_protection;

    std::map<std::wstring, UploadJob> m_jobs;
    std::map<std::wstring, std::wstring> m_confirmedFolders;  // key -> starting folder
    // Bytes counted for files not yet confirmed: a restart sends them again (or reports again
    // what of them is on the server), so they are taken back from the count first and the count
    // ends at the job's total exactly. Those files are the ones a restart may continue.
    std::map<std::wstring, std::int64_t> m_partialBytes;
    std::wstring m_currentKey;
    // From a failure until the job is started again; only then is the error dialog offered.
    bool m_errorState = false;
    bool m_taskRunning = false;      // from a start until its WM_UPLOAD_FINISHED
    int m_openConfirmations = 0;     // folder browsers open (one per hand-off, nested)
    int m_trayUpdates = 0;           // tray operations under way (nested through sent messages)
    std::deque<std::pair<std::int32_t, std::wstring>> m_deferredHandOffs;  // number, key
    bool m_errorDialogOpen = false;
    bool m_ending = false;
    bool m_showBalloon = true;
    std::uint32_t m_retryCount = 1;
    CTaskResult m_lastResult{0, FTPReply{}, {}};
    // What the tray shows now, so that it is rebuilt only when that changes.
    int m_shownPercent = -1;
    std::wstring m_shownTooltip;
    std::uint32_t m_tooltipTick = 0;  // when the progress tooltip was last set; 0 for not yet
    bool m_redrawPending = false;
    int m_openReports = 0;  // left-out reports on screen; the program ends only after them
};
