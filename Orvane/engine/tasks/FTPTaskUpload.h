#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/tasks/FTPTask.h"
#include "Orvane/engine/tasks/UploadQueue.h"

class CTaskLanes;

// Stores a job's files, with their folders below the starting folder, over up to as many
// connections at once as the destination allows ("lanes", one per file at most). Each lane
// connects, logs in, enters the starting folder, sends TYPE I, then takes files from the shared
// queue (CUploadQueue) until none is left. The first lane connects alone; the others follow once
// it is logged in, and a lane the server will not take (a connection limit, a refused login) is
// simply not used. A failure of the first lane before its first file fails the job, as does any
// failure on a lane after its first file: from then on no lane takes another file, and the
// lanes under way finish the file they are sending.
//
// Reports each step to the notify window, from whichever lane takes it; keeps no totals itself.
// Posts WM_UPLOAD_STARTED, per file WM_UPLOAD_STATUS and (once the server has confirmed it)
// WM_UPLOAD_FILE_DONE, and WM_UPLOAD_FINISHED with the result: the first failure, or the first
// lane's result, and the first lane's transcript followed by every other lane's, marked. Every
// message carries a copy of the job key. A file that cannot be opened for reading when its turn
// comes is left out with WM_UPLOAD_FILE_SKIPPED instead. A file whose name a server may quietly
// change (a leading blank) is confirmed with SIZE after its STOR when the server offers it; a
// refusal there is the job's failure.
//
// A file that an earlier run cut off (UploadFileEntry::cutOff) continues from what the server
// holds of it when the server offers "REST STREAM" and SIZE (RFC 3659) and the local file is as
// it was when the job was built (size and last write): SIZE, then REST and STOR of the rest,
// then SIZE again, which must give the whole size. Anything uncertain sends it whole.
class CFTPTaskUpload : public CFTPTask {
public:
    // Whatever the destination asks for: a server that takes more rarely gains from them.
    static constexpr std::uint32_t kMostConnections = 16;

    CFTPTaskUpload(platform::WindowRef notifyWindow, FTPSettings destination,
                   platform::Event abortEvent, std::wstring jobKey, UploadFileMap files,
                   FTPTimeouts timeouts = {});
    void Execute() override;

private:
    struct LaneOutcome {
        std::unique_ptr<CTaskResult> result;  // null for a lane that never ran
    };

    void PostDone(std::unique_ptr<CTaskResult> result) override;
    std::size_t LaneCount() const;
    void RunLane(std::size_t index, platform::Event abort, CUploadQueue& queue, CTaskLanes& lanes,
                 LaneOutcome& outcome);
    // Every name is checked before the lane's first file goes: a job that can never be stored
    // whole fails before it leaves a part of itself on the server. Throws 1113.
    void CheckNames(const Session& session) const;
    void StoreFile(Session& session, const CUploadQueue::Item& item, std::vector<std::wstring>& folder,
                   CUploadQueue& queue);
    // Moves the session from the remote folder `current` to `target` (components below the
    // starting folder): up to their common ancestor with CWD "..", then down, with MKD and CWD
    // for a folder that no lane of the job has come to yet (a refused MKD is a folder that is
    // there already: the CWD decides), with CWD alone for the others, and MKD and CWD after all
    // when that CWD is refused (the lane that makes it is not done yet). `current` follows each
    // step.
    static void ChangeRemoteFolder(Session& session, std::vector<std::wstring>& current,
                                   const std::vector<std::wstring>& target, CUploadQueue& queue);
    // Where to continue `entry` from (0: from its start), asking the server with SIZE. Throws
    // a 421 as FTPReply, and int errors.
    static std::uint64_t ResumeOffset(Session& session, const UploadFileEntry& entry, const std::string& name);
    // Notes the file in the transcript and tells the notify window that it is left out.
    void SkipFile(Session& session, const std::wstring& key, int error);
    std::unique_ptr<CTaskResult> Outcome(std::vector<LaneOutcome>& lanes, const CUploadQueue& queue) const;

    std::wstring m_jobKey;
    UploadFileMap m_files;
};

// What the server holds of a file, from a reply to SIZE ("213 1234"): null for any other form.
std::optional<std::uint64_t> ParseSizeReply(const std::wstring& reply);
