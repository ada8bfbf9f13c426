#include "Orvane/engine/tasks/FTPTaskUpload.h"

#include <algorithm>
#include <utility>

#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceOpenDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceSize.h"
#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"
#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/engine/tasks/ErrorText.h"
#include "Orvane/engine/tasks/TaskLanes.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "platform/File.h"
#include "platform/Strings.h"

CFTPTaskUpload::CFTPTaskUpload(platform::WindowRef notifyWindow, FTPSettings destination,
                               platform::Event abortEvent, std::wstring jobKey, UploadFileMap files,
                               FTPTimeouts timeouts)
    : CFTPTask(notifyWindow, std::move(destination), std::move(abortEvent), timeouts),
      m_jobKey(std::move(jobKey)),
      m_files(std::move(files)) {}

void CFTPTaskUpload::Execute() {
    platform::PostOwned(NotifyWindow(), WM_UPLOAD_STARTED, 0, std::make_unique<std::wstring>(m_jobKey));
    const std::size_t count = LaneCount();
    CUploadQueue queue(m_files, count);
    std::vector<LaneOutcome> outcomes(count);
    CTaskLanes lanes(count, [&](std::size_t index, platform::Event abort) {
        RunLane(index, std::move(abort), queue, lanes, outcomes[index]);
    });
    lanes.Run(AbortEvent());
    Finish(Outcome(outcomes, queue));
}

void CFTPTaskUpload::PostDone(std::unique_ptr<CTaskResult> result) {
    platform::PostOwned(NotifyWindow(), WM_UPLOAD_FINISHED, std::move(result),
                        std::make_unique<std::wstring>(m_jobKey));
}

std::size_t CFTPTaskUpload::LaneCount() const {
    const std::size_t allowed = std::clamp<std::uint32_t>(Destination().connections, 1, kMostConnections);
    return std::max<std::size_t>(1, std::min(allowed, m_files.size()));
}

void CFTPTaskUpload::RunLane(std::size_t index, platform::Event abort, CUploadQueue& queue, CTaskLanes& lanes,
                             LaneOutcome& outcome) {
    if (index > 0 && queue.FirstFailure()) return;  // the job ended before this lane got going
    bool opened = false;
    const auto admit = [&lanes] { lanes.Admit(); };
    outcome.result = RunSession(
        std::move(abort),
        [&](Session& session) {
            try {
                EnterStartingFolder(session);
                // The replies of what follows are not kept: the result's reply stays the
                // starting folder's.
                session.Open<CFTPCommandSequenceTypeI>().Run();
                CheckNames(session);
                opened = true;
                std::vector<std::wstring> folder;  // where the session is, below the starting folder
                while (const CUploadQueue::Item* item = queue.Take(index)) StoreFile(session, *item, folder, queue);
            } catch (...) {
                // Another lane that the server would not take, or could not open, is simply
                // not used; the first lane's opening is the job's.
                if (index == 0 || opened) queue.Fail(index);
                throw;
            }
        },
        index == 0 ? std::function<void()>(admit) : std::function<void()>());
    if (index == 0 && !outcome.result->Succeeded()) queue.Fail(0);  // before its steps: connect, login, FEAT
}

void CFTPTaskUpload::CheckNames(const Session& session) const {
    for (const auto& [key, entry] : m_files) {
        session.WireName(entry.name);
        session.WireName(entry.relativeFolder);
    }
}

namespace {

// Names that servers store as others without a word: pure-ftpd turns leading blanks (and
// control characters) into "_" and still answers 226.
bool MayBeStoredAsAnother(const std::wstring& name) {
    return (!name.empty() && name.front() == L' ') ||
           std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

// The line that introduces the transcript of the connection numbered `number` (from 1).
std::wstring LaneHeading(std::size_t number) {
    std::wstring heading = platform::LoadText(EngineStrings::kConnectionLines);
    if (const std::size_t at = heading.find(L"%d"); at != std::wstring::npos)
        heading.replace(at, 2, std::to_wstring(number));
    return heading + L"\r\n";
}

}  // namespace

void CFTPTaskUpload::StoreFile(Session& session, const CUploadQueue::Item& item, std::vector<std::wstring>& folder,
                               CUploadQueue& queue) {
    const auto& [key, entry] = item;
    // A file that went away or cannot be read is left out before its PASV, and the rest still
    // goes: one such file must not hold back the job or end it in a retry loop.
    if (const int error = platform::ProbeForReading(entry.localPath); error != 0) {
        SkipFile(session, key, error);
        return;
    }
    platform::PostOwned(NotifyWindow(), WM_UPLOAD_STATUS, std::make_unique<std::wstring>(key),
                        std::make_unique<std::wstring>(m_jobKey));
    ChangeRemoteFolder(session, folder, FolderComponents(entry.relativeFolder), queue);
    const std::string name = session.WireName(entry.name);
    const std::uint64_t offset = ResumeOffset(session, entry, name);
    session.Open<CFTPCommandSequenceStor>().Run(entry.localPath, name, NotifyWindow(), offset);
    // The server joined what it had with what it got: only its size can tell that the two made
    // the whole file. A server that took REST and wrote the rest elsewhere (from the start, or
    // at the end) would be resumed wrongly at every retry, so the file goes again whole, now.
    if (offset > 0 && ParseSizeReply(session.Open<CFTPCommandSequenceSize>().Run(name).text) != entry.size) {
        platform::PostOwned(NotifyWindow(), WM_UPLOAD_RESUMED, std::make_unique<std::wstring>(key),
                            static_cast<std::intptr_t>(0));
        session.Open<CFTPCommandSequenceStor>().Run(entry.localPath, name, NotifyWindow());
    } else if (MayBeStoredAsAnother(entry.name) && session.connection.Features().Has("SIZE")) {
        // A file that is not there under its own name was not stored: SIZE says so (550),
        // and that refusal ends the job. Without SIZE (RFC 3659) there is no cheap way to ask.
        session.Open<CFTPCommandSequenceSize>().Run(name);
    }
    platform::PostOwned(NotifyWindow(), WM_UPLOAD_FILE_DONE, std::make_unique<std::wstring>(key),
                        std::make_unique<std::wstring>(m_jobKey));
}

std::uint64_t CFTPTaskUpload::ResumeOffset(Session& session, const UploadFileEntry& entry, const std::string& name) {
    // Only a file that an earlier run cut off can be on the server in part: asking for any
    // other would cost every file a round trip.
    const FTPFeatures& features = session.connection.Features();
    if (!entry.cutOff || !features.Has("REST", "STREAM") || !features.Has("SIZE")) return 0;
    // The part on the server is of the file as it was then; a file changed since may differ
    // anywhere, also within that part.
    try {
        const platform::File file = platform::OpenForReading(entry.localPath);
        if (entry.lastWriteTime == 0 || platform::SizeOf(file) != entry.size ||
            platform::LastWriteTime(file) != entry.lastWriteTime)
            return 0;
    } catch (int) {
        return 0;
    }
    std::optional<std::uint64_t> there;
    try {
        there = ParseSizeReply(session.Open<CFTPCommandSequenceSize>().Run(name).text);
    } catch (const FTPReply& refused) {
        if (refused.code == kReplyClosing) throw;
        return 0;  // not there at all (550), or SIZE not answered for it
    }
    // Nothing there, or all of it (whose 226 was lost, or another file): sent whole again.
    if (!there || *there == 0 || *there >= entry.size) return 0;
    return *there;
}

void CFTPTaskUpload::ChangeRemoteFolder(Session& session, std::vector<std::wstring>& current,
                                        const std::vector<std::wstring>& target, CUploadQueue& queue) {
    std::size_t common = 0;
    while (common < current.size() && common < target.size() && current[common] == target[common]) ++common;
    if (current.size() > common) {
        std::wstring up = L"..";
        for (std::size_t level = common + 1; level < current.size(); ++level) up += L"\\..";
        session.Open<CFTPCommandSequenceOpenDir>().Run(session.WireName(up));
        current.resize(common);
    }
    for (std::size_t depth = common; depth < target.size(); ++depth) {
        const std::wstring key = FolderKey(target, depth + 1);
        const std::string name = session.WireName(target[depth]);
        if (queue.ClaimFolder(key)) {
            session.Open<CFTPCommandSequenceOpenDir>().Run(name);
        } else {
            try {
                session.Open<CFTPCommandSequenceChangeDir>().Run(name);
            } catch (const FTPReply& refused) {
                // The lane that claimed it may not have made it yet (or could not): make it here
                // too. A refused MKD is then the other lane's folder, and the CWD decides.
                if (refused.code == kReplyClosing) throw;
                session.Open<CFTPCommandSequenceOpenDir>().Run(name);
            }
        }
        current.push_back(target[depth]);
    }
}

void CFTPTaskUpload::SkipFile(Session& session, const std::wstring& key, int error) {
    session.transcript.push_back(platform::LoadText(EngineStrings::kFileLeftOut) + L" " + key + L" (" +
                                 FormatErrorTitle(static_cast<std::uint32_t>(error)) + L")\r\n");
    platform::PostOwned(NotifyWindow(), WM_UPLOAD_FILE_SKIPPED, std::make_unique<std::wstring>(key),
                        std::make_unique<UploadSkip>(UploadSkip{m_jobKey, error}));
}

std::unique_ptr<CTaskResult> CFTPTaskUpload::Outcome(std::vector<LaneOutcome>& lanes,
                                                     const CUploadQueue& queue) const {
    const LaneOutcome& decisive = lanes.at(queue.FirstFailure().value_or(0));
    if (!decisive.result || !lanes.front().result) throw platform::kErrorNotEnoughMemory;  // a lane could not even make it
    std::vector<std::wstring> transcript = std::move(lanes.front().result->transcript);
    for (std::size_t index = 1; index < lanes.size(); ++index) {
        if (!lanes[index].result) continue;
        std::vector<std::wstring>& lines = lanes[index].result->transcript;
        transcript.push_back(LaneHeading(index + 1));
        transcript.insert(transcript.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    }
    auto result = std::make_unique<CTaskResult>(decisive.result->errorCode, decisive.result->reply, std::move(transcript));
    // A refused certificate is the same on every connection; the first lane is the one that met it.
    result->certificate = decisive.result->certificate ? decisive.result->certificate : lanes.front().result->certificate;
    return result;
}

std::optional<std::uint64_t> ParseSizeReply(const std::wstring& reply) {
    // RFC 3659, 4.2: "213" SP 1*DIGIT; the line ends in CR LF.
    if (reply.size() < 5 || reply.compare(0, 4, L"213 ") != 0) return std::nullopt;
    std::uint64_t size = 0;
    std::size_t at = 4;
    for (; at < reply.size() && reply[at] >= L'0' && reply[at] <= L'9'; ++at) {
        const std::uint64_t digit = static_cast<std::uint64_t>(reply[at] - L'0');
        if (size > (UINT64_MAX - digit) / 10) return std::nullopt;
        size = size * 10 + digit;
    }
    if (at == 4 || reply.find_first_not_of(L"\r\n", at) != std::wstring::npos) return std::nullopt;
    return size;
}
