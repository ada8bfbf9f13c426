#include "Orvane/app/UploadController.h"

#include <algorithm>

#include "Orvane/app/HandOffReader.h"
#include "Orvane/app/JobTexts.h"
#include "Orvane/engine/protocol/TraceLog.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Strings.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"

namespace {
constexpr std::uint32_t kRetryStep = 20000;
constexpr std::uint32_t kLongestRetry = 600000;
constexpr int kRetryAnswer = 4;
constexpr std::uint32_t kTooltipInterval = 500;
}  // namespace

UploadController::UploadController(UploadControllerHost& host, platform::Registry& registry,
                                   platform::DataProtection& protection)
    : m_host(host), m_registry(registry), m_protection(protection) {}

UploadJob* UploadController::Find(const std::wstring& key) {
    const auto found = m_jobs.find(key);
    return found == m_jobs.end() ? nullptr : &found->second;
}

const UploadJob* UploadController::CurrentJob() const {
    const auto found = m_jobs.find(m_currentKey);
    return found == m_jobs.end() ? nullptr : &found->second;
}

void UploadController::OnHandOff(std::int32_t number, const std::wstring& key) {
    if (m_ending) return;
    if (m_trayUpdates > 0) {
        // Sent to us while a tray update waits for the shell: its modal browser would run in
        // the middle of that update, and the job being drawn could end under it.
        m_deferredHandOffs.emplace_back(number, key);
        m_host.ScheduleDeferredHandOff();
        return;
    }
    const DestinationStore store(m_registry, m_protection);
    FTPDestination destination = store.GetDestination(number);
    const bool confirm = !IsSkipFolderConfirmation(m_registry);
    if (confirm) {
        // The browser runs its own message loop: jobs go on finishing meanwhile, and the last
        // one must not end the program while this hand-off is still to become a job.
        ++m_openConfirmations;
        const bool accepted = m_host.ConfirmFolder(destination);
        --m_openConfirmations;
        if (m_ending) return;  // stopped meanwhile: the hand-off stays for another time
        if (!accepted) {
            // Cancel drops this hand-off only: the user said no to it, so its key goes; the
            // other jobs go on, and the program ends only when nothing is left at all.
            DeleteHandOffKey(number, key);
            EndIfIdle();
            return;
        }
    }
    UploadJob job;
    job.destinationNumber = number;
    job.destinationName = destination.displayName;
    job.key = key;
    ReadHandOffKey(L"", HandOffKeyPath(store.GetDestination(number), key), job, m_registry);
    if (!m_jobs.emplace(key, std::move(job)).second) return;  // a key already present keeps its job
    if (confirm) m_confirmedFolders.emplace(key, destination.directory);
    if (m_jobs.size() == 1) Start(m_jobs.begin()->second);
}

void UploadController::OnDeferredHandOff() {
    if (m_deferredHandOffs.empty()) return;
    const auto [number, key] = std::move(m_deferredHandOffs.front());
    m_deferredHandOffs.pop_front();
    OnHandOff(number, key);
}

template <class Call>
void UploadController::TrayUpdate(Call call) {
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{++m_trayUpdates};
    call();
}

void UploadController::Start(UploadJob& job) {
    // One task at a time: a second one would send the same files again.
    if (m_ending || m_taskRunning) return;
    FTPDestination destination = DestinationStore(m_registry, m_protection).GetDestination(job.destinationNumber);
    if (const auto folder = m_confirmedFolders.find(job.key); folder != m_confirmedFolders.end())
        destination.directory = folder->second;
    for (const auto& [path, bytes] : m_partialBytes) {
        job.doneBytes -= bytes;
        if (const auto file = job.files.find(path); file != job.files.end() && bytes > 0) file->second.cutOff = true;
    }
    m_partialBytes.clear();
    job.carriedBytes = job.doneBytes;
    m_taskRunning = true;
    m_errorState = false;  // the failure is no longer pending once its retry is under way
    m_host.StartUpload(destination, job.key, job);
}

void UploadController::EndProgram() {
    m_ending = true;
    m_host.CloseAndQuit();
}

// A modal browser or report runs its own message loop: a job may end, or a hand-off arrive, in
// it. Only when none is open, no job is left and no hand-off waits does the program end.
void UploadController::EndIfIdle() {
    if (!m_ending && m_jobs.empty() && m_openConfirmations == 0 && m_openReports == 0 &&
        m_deferredHandOffs.empty())
        EndProgram();
}

void UploadController::OnUploadStarted(const std::wstring& key) {
    if (UploadJob* job = Find(key)) {
        job->startTick = m_host.NowTick();
        m_shownTooltip = FillText(platform::LoadText(IDS_STARTED_TOOLTIP), {job->destinationName});
        TrayUpdate([&] {
            m_host.SetTooltip(m_shownTooltip);
            m_host.ShowResourceIcon(kUploadingIcon);
        });
        m_shownPercent = -1;  // the first report of this job draws its icon and its tooltip
        m_tooltipTick = 0;
    }
    m_currentKey = key;
    m_lastResult = CTaskResult(0, FTPReply{}, {});
    m_errorState = false;
}

void UploadController::OnProgress(const std::wstring& localPath, std::int64_t bytes) {
    UploadJob* job = Find(m_currentKey);
    if (!job || !job->files.count(localPath)) return;  // a file already confirmed no longer counts
    job->doneBytes += bytes;
    m_partialBytes[localPath] += bytes;
    ShowProgress(*job);
}

void UploadController::OnResumed(const std::wstring& localPath, std::int64_t bytes) {
    UploadJob* job = Find(m_currentKey);
    if (!job || !job->files.count(localPath)) return;
    // What this run sent of it stays sent (it took its time), but no longer counts as done.
    std::int64_t& counted = m_partialBytes[localPath];
    job->doneBytes += bytes - counted;
    job->carriedBytes += bytes - counted;
    counted = bytes;
    ShowProgress(*job);
}

void UploadController::ShowProgress(const UploadJob& job) {
    // Reports come per 8 KiB chunk, far more often than the tray can be redrawn usefully.
    if (const int percent = ProgressPercent(job); percent != m_shownPercent) {
        m_shownPercent = percent;
        TrayUpdate([&] { m_host.ShowProgressIcon(percent); });
    }
    // The byte count changes with every chunk; a tooltip redrawn more than twice a second shows
    // nothing more, and each redraw is a round trip to the shell that the queue waits for. Reports
    // come in bursts when the line stalls, so one held back is drawn when it falls due, not left
    // stale until the next burst.
    const std::uint32_t now = m_host.NowTick();
    const std::uint32_t sinceShown = now - m_tooltipTick;
    if (m_tooltipTick == 0 || sinceShown >= kTooltipInterval || job.doneBytes >= job.totalBytes) {
        ShowProgressTooltip(job, now);
    } else if (!m_redrawPending) {
        m_redrawPending = true;
        m_host.StartRedrawTimer(kTooltipInterval - sinceShown);
    }
}

void UploadController::ShowProgressTooltip(const UploadJob& job, std::uint32_t now) {
    std::wstring tooltip = FillText(platform::LoadText(IDS_PROGRESS_TOOLTIP),
                                    {job.destinationName, EstimateRemainingTime(job, now),
                                     FormatByteSize(job.doneBytes), FormatByteSize(job.totalBytes)});
    tooltip.resize(std::min<std::size_t>(tooltip.size(), 127));
    if (tooltip == m_shownTooltip) return;
    m_shownTooltip = std::move(tooltip);
    m_tooltipTick = now == 0 ? 1 : now;
    TrayUpdate([&] { m_host.SetTooltip(m_shownTooltip); });
}

void UploadController::OnRedrawTimer() {
    m_redrawPending = false;
    // Only a job still under way: a failure or a new start has put up its own tooltip since.
    const UploadJob* job = CurrentJob();
    if (job && !m_errorState && m_tooltipTick != 0) ShowProgressTooltip(*job, m_host.NowTick());
}

void UploadController::OnFileDone(const std::wstring& localPath, const std::wstring& key) {
    UploadJob* job = Find(key);
    if (!job || !job->files.erase(localPath)) return;
    if (key == m_currentKey) m_partialBytes.erase(localPath);
}

void UploadController::OnFileSkipped(const std::wstring& localPath, const std::wstring& key, int errorCode) {
    UploadJob* job = Find(key);
    if (job) job->LeaveOut(localPath, errorCode);
}

void UploadController::OnUploadFinished(const CTaskResult& result, const std::wstring& key) {
    m_taskRunning = false;
    m_lastResult = result;
    std::optional<std::wstring> report;
    if (!result.Succeeded()) {
        m_errorState = true;
        const UploadJob* job = Find(key);
        m_shownTooltip = job ? FillText(platform::LoadText(IDS_FAILED_TOOLTIP), {job->destinationName})
                             : platform::LoadText(IDS_FAILED_TOOLTIP_NO_JOB);
        m_host.StartRetryTimer(RetryDelay());
        TrayUpdate([&] {
            m_host.ShowResourceIcon(kFailedIcon);
            m_host.SetTooltip(m_shownTooltip);
            if (m_showBalloon) {
                WriteTrace(L"Balloon go\n");
                m_host.ShowErrorBalloon(platform::LoadText(IDS_FAILED_BALLOON_TITLE),
                                        platform::LoadText(IDS_FAILED_BALLOON_TEXT));
            }
        });
    } else {
        m_errorState = false;
        m_showBalloon = true;
        if (const UploadJob* job = Find(key)) {
            if (!job->leftOut.empty()) report = LeftOutReportText(*job);
            DeleteHandOffKey(job->destinationNumber, key);
            m_jobs.erase(key);
            m_confirmedFolders.erase(key);
            m_partialBytes.clear();
        }
    }
    if (!m_jobs.empty() && !m_errorState) Start(m_jobs.begin()->second);
    // The queue goes on first: the report waits for the user, the next job need not.
    if (report) ShowLeftOutReport(*report);
    EndIfIdle();
}

void UploadController::ShowLeftOutReport(const std::wstring& text) {
    ++m_openReports;
    m_host.ShowLeftOutReport(text);
    --m_openReports;
}

void UploadController::DeleteHandOffKey(std::int32_t number, const std::wstring& key) {
    const FTPDestination destination = DestinationStore(m_registry, m_protection).GetDestination(number);
    if (auto destinationKey = m_registry.Open(platform::Hive::CurrentUser, DestinationKeyPath(destination),
                                              platform::Access::ReadWrite))
        destinationKey->DeleteTree(key);
}

std::uint32_t UploadController::RetryDelay() const {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{m_retryCount} * kRetryStep, kLongestRetry));
}

void UploadController::OnRetryTimer() {
    m_host.KillRetryTimer();
    RetryCurrent();
}

void UploadController::RetryCurrent() {
    UploadJob* job = Find(m_currentKey);
    if (!job || !m_errorState) return;
    ++m_retryCount;
    Start(*job);
}

void UploadController::ConfirmStop() {
    const UploadJob* job = CurrentJob();
    if (!job) {
        EndProgram();
        return;
    }
    const std::wstring estimate = EstimateRemainingTime(*job, m_host.NowTick());
    const std::wstring question =
        m_jobs.size() < 2 ? FillText(platform::LoadText(IDS_STOP_ONE), {estimate})
                          : FillText(platform::LoadText(IDS_STOP_SEVERAL), {estimate, std::to_wstring(m_jobs.size() - 1)});
    if (m_host.AskToStop(question)) EndProgram();
}

void UploadController::ShowErrorInformation() {
    // The dialog belongs to a pending failure, and one at a time: a second balloon click reaches
    // here from inside the open dialog's own loop.
    if (!m_errorState || m_errorDialogOpen) return;
    m_host.KillRetryTimer();
    const UploadJob* current = CurrentJob();
    if (!current) {
        EndProgram();
        return;
    }
    // Copies: whatever the dialog's loop lets happen to the job, the dialog never reads a job
    // that is gone.
    const CTaskResult result = m_lastResult;
    const UploadJob job = *current;
    m_errorDialogOpen = true;
    const std::optional<int> answer = m_host.ShowErrorDialog(result, job);
    m_errorDialogOpen = false;
    if (m_ending) return;
    if (answer && *answer != kRetryAnswer) {
        EndProgram();
        return;
    }
    if (!m_errorState) return;  // restarted or ended meanwhile: nothing is left to retry
    if (!answer) {
        m_host.StartRetryTimer(RetryDelay());  // no dialog: the automatic retry must still come
        return;
    }
    m_showBalloon = false;
    RetryCurrent();
}
