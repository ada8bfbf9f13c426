#pragma once
#include <string>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/protocol/FTPCommandSequenceOpenDir.h"
#include "Orvane/engine/tasks/FTPTask.h"

// Stores a job's files, with their folders below the starting folder, over one connection, in
// the file map's key order. Reports each step to the notify window; keeps no totals itself.
// Posts WM_UPLOAD_STARTED, per file WM_UPLOAD_STATUS and (once the server has confirmed it)
// WM_UPLOAD_FILE_DONE, and WM_UPLOAD_FINISHED with the result; every message carries a copy
// of the job key. A file that cannot be opened for reading when its turn comes is left out
// with WM_UPLOAD_FILE_SKIPPED instead, and the run goes on. The first failure ends the run:
// that file and every later one stay unsent. A file whose name a server may quietly change (a
// leading blank) is confirmed with SIZE after its STOR when the server offers it; a refusal
// there is the job's failure.
class CFTPTaskUpload : public CFTPTask {
public:
    CFTPTaskUpload(platform::WindowRef notifyWindow, FTPSettings destination,
                   platform::Event abortEvent, std::wstring jobKey, UploadFileMap files,
                   FTPTimeouts timeouts = {});
    void Execute() override;

private:
    void PostDone(std::unique_ptr<CTaskResult> result) override;
    void StoreFiles(Session& session);
    // Notes the file in the transcript and tells the notify window that it is left out.
    void SkipFile(Session& session, const std::wstring& key, int error);

    std::wstring m_jobKey;
    UploadFileMap m_files;
};

// The path that climbs from `folder` back to the starting folder: ".." once per component,
// joined by "\"; empty for the starting folder itself. Leading backslashes do not count.
std::wstring BuildUpPath(const std::wstring& folder);

// Moves the session from the remote folder `current` to `target` (both relative to the
// starting folder): unless they are equal, up to the starting folder and down again, creating
// what is missing on the way down. The folders go out as `connection` sends names.
void ChangeRemoteFolder(const std::wstring& current, const std::wstring& target,
                        CFTPCommandSequenceOpenDir& openDir, const CFTPControlConnection& connection);
