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
    const DestinationStore store(m_registry, m_protection);
    FTPDestination destination = store.GetDestination(number);
    if (!IsSkipFolderConfirmation(m_registry) && !m_host.ConfirmFolder(destination)) {
        m_host.CloseAndQuit();
        return;
    }
    UploadJob job;
    job.destinationNumber = number;
    job.destinationName = destination.displayName;
    job.key = key;
    ReadHandOffKey(L"", HandOffKeyPath(store.GetDestination(number), key), job, m_registry);
    if (!m_jobs.emplace(key, std::move(job)).second) return;  // a key already present keeps its job
    m_confirmedFolders.emplace(key, destination.directory);
    if (m_jobs.size() == 1) Start(m_jobs.begin()->second);
}

void UploadController::Start(UploadJob& job) {
    FTPDestination destination = DestinationStore(m_registry, m_protection).GetDestination(job.destinationNumber);
    if (const auto folder = m_confirmedFolders.find(job.key); folder != m_confirmedFolders.end())
        destination.directory = folder->second;
    for (const auto& [path, bytes] : m_partialBytes) job.doneBytes -= static_cast<std::int32_t>(bytes);
    m_partialBytes.clear();
    m_host.StartUpload(destination, job.key, job);
}

void UploadController::OnUploadStarted(const std::wstring& key) {
    if (UploadJob* job = Find(key)) {
        job->startTick = m_host.NowTick();
        m_shownTooltip = FillText(platform::LoadText(IDS_STARTED_TOOLTIP), {job->destinationName});
        m_host.SetTooltip(m_shownTooltip);
        m_host.ShowResourceIcon(kUploadingIcon);
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
    job->doneBytes += static_cast<std::int32_t>(bytes);
    m_partialBytes[localPath] += bytes;
    ShowProgress(*job);
}

void UploadController::ShowProgress(const UploadJob& job) {
    // Reports come per 8 KiB chunk, far more often than the tray can be redrawn usefully.
    if (const int percent = ProgressPercent(job); percent != m_shownPercent) {
        m_shownPercent = percent;
        m_host.ShowProgressIcon(percent);
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
    m_host.SetTooltip(m_shownTooltip);
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
    m_lastResult = result;
    std::optional<std::wstring> report;
    if (!result.Succeeded()) {
        m_errorState = true;
        m_host.ShowResourceIcon(kFailedIcon);
        const UploadJob* job = Find(key);
        m_shownTooltip = job ? FillText(platform::LoadText(IDS_FAILED_TOOLTIP), {job->destinationName})
                             : platform::LoadText(IDS_FAILED_TOOLTIP_NO_JOB);
        m_host.SetTooltip(m_shownTooltip);
        m_host.StartRetryTimer(RetryDelay());
        if (m_showBalloon) {
            WriteTrace(L"Balloon go\n");
            m_host.ShowErrorBalloon(platform::LoadText(IDS_FAILED_BALLOON_TITLE),
                                    platform::LoadText(IDS_FAILED_BALLOON_TEXT));
        }
    } else {
        m_showBalloon = true;
        if (const UploadJob* job = Find(key)) {
            if (!job->leftOut.empty()) report = LeftOutReportText(*job);
            DeleteHandOffKey(*job);
            m_jobs.erase(key);
            m_confirmedFolders.erase(key);
            m_partialBytes.clear();
        }
    }
    if (!m_jobs.empty() && !m_errorState) Start(m_jobs.begin()->second);
    // The queue goes on first: the report waits for the user, the next job need not.
    if (report) ShowLeftOutReport(*report);
    EndIfNoJobLeft();
}

void UploadController::ShowLeftOutReport(const std::wstring& text) {
    ++m_openReports;
    m_host.ShowLeftOutReport(text);
    --m_openReports;
}

// While a report is open, a hand-off may have brought a new job, or the last job may have
// ended: only the outermost report's end may end the program, and only with no job left.
void UploadController::EndIfNoJobLeft() {
    if (m_jobs.empty() && m_openReports == 0) m_host.CloseAndQuit();
}

void UploadController::DeleteHandOffKey(const UploadJob& job) {
    const FTPDestination destination =
        DestinationStore(m_registry, m_protection).GetDestination(job.destinationNumber);
    if (auto key = m_registry.Open(platform::Hive::CurrentUser, DestinationKeyPath(destination),
                                   platform::Access::ReadWrite))
        key->DeleteTree(job.key);
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
    if (!job) return;
    ++m_retryCount;
    Start(*job);
}

void UploadController::ConfirmStop() {
    const UploadJob* job = CurrentJob();
    if (!job) {
        m_host.CloseAndQuit();
        return;
    }
    const std::wstring estimate = EstimateRemainingTime(*job, m_host.NowTick());
    const std::wstring question =
        m_jobs.size() < 2 ? FillText(platform::LoadText(IDS_STOP_ONE), {estimate})
                          : FillText(platform::LoadText(IDS_STOP_SEVERAL), {estimate, std::to_wstring(m_jobs.size() - 1)});
    if (m_host.AskToStop(question)) m_host.CloseAndQuit();
}

void UploadController::ShowErrorInformation() {
    m_host.KillRetryTimer();
    const UploadJob* job = CurrentJob();
    if (!job) {
        m_host.CloseAndQuit();
        return;
    }
    const std::optional<int> answer = m_host.ShowErrorDialog(m_lastResult, *job);
    if (!answer) {
        m_host.StartRetryTimer(RetryDelay());  // no dialog: the automatic retry must still come
    } else if (*answer == kRetryAnswer) {
        m_showBalloon = false;
        RetryCurrent();
    } else {
        m_host.CloseAndQuit();
    }
}
