#include "Orvane/engine/tasks/FTPTaskUpload.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "Orvane/engine/protocol/FTPCommandSequenceSize.h"
#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeA.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"
#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/engine/tasks/ErrorText.h"
#include "Orvane/engine/tasks/TaskMessages.h"
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
    auto result = RunSession([&](Session& session) {
        EnterStartingFolder(session);
        StoreFiles(session);
    });
    Finish(std::move(result));
}

void CFTPTaskUpload::PostDone(std::unique_ptr<CTaskResult> result) {
    platform::PostOwned(NotifyWindow(), WM_UPLOAD_FINISHED, std::move(result),
                        std::make_unique<std::wstring>(m_jobKey));
}

namespace {

// Names that servers store as others without a word: pure-ftpd turns leading blanks (and
// control characters) into "_" and still answers 226.
bool MayBeStoredAsAnother(const std::wstring& name) {
    return (!name.empty() && name.front() == L' ') ||
           std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

}  // namespace

void CFTPTaskUpload::StoreFiles(Session& session) {
    // Every name is checked before the first file goes: a job that can never be stored whole
    // fails before it leaves a part of itself on the server.
    for (const auto& [key, entry] : m_files) {
        session.WireName(entry.name);
        session.WireName(entry.relativeFolder);
    }
    // The replies of what follows are not kept: the result's reply stays the starting folder's.
    auto openDir = session.Open<CFTPCommandSequenceOpenDir>();
    auto stor = session.Open<CFTPCommandSequenceStor>();
    session.Open<CFTPCommandSequenceTypeI>().Run();
    std::wstring current;
    for (const auto& [key, entry] : m_files) {
        // A file that went away or cannot be read is left out before its PASV, and the rest
        // still goes: one such file must not hold back the job or end it in a retry loop.
        if (const int error = platform::ProbeForReading(entry.localPath); error != 0) {
            SkipFile(session, key, error);
            continue;
        }
        platform::PostOwned(NotifyWindow(), WM_UPLOAD_STATUS, std::make_unique<std::wstring>(key),
                            std::make_unique<std::wstring>(m_jobKey));
        ChangeRemoteFolder(current, entry.relativeFolder, openDir, session.connection);
        current = entry.relativeFolder;
        stor.Run(entry.localPath, session.WireName(entry.name), NotifyWindow());
        // A file that is not there under its own name was not stored: SIZE says so (550),
        // and that refusal ends the job. Without SIZE (RFC 3659) there is no cheap way to ask.
        if (MayBeStoredAsAnother(entry.name) && session.connection.Features().Has("SIZE"))
            session.Open<CFTPCommandSequenceSize>().Run(session.WireName(entry.name));
        platform::PostOwned(NotifyWindow(), WM_UPLOAD_FILE_DONE, std::make_unique<std::wstring>(key),
                            std::make_unique<std::wstring>(m_jobKey));
    }
    session.Open<CFTPCommandSequenceTypeA>().Run();
}

void CFTPTaskUpload::SkipFile(Session& session, const std::wstring& key, int error) {
    session.transcript.push_back(platform::LoadText(EngineStrings::kFileLeftOut) + L" " + key + L" (" +
                                 FormatErrorTitle(static_cast<std::uint32_t>(error)) + L")\r\n");
    platform::PostOwned(NotifyWindow(), WM_UPLOAD_FILE_SKIPPED, std::make_unique<std::wstring>(key),
                        std::make_unique<UploadSkip>(UploadSkip{m_jobKey, error}));
}

std::wstring BuildUpPath(const std::wstring& folder) {
    const std::size_t first = folder.find_first_not_of(L'\\');
    if (first == std::wstring::npos) return {};
    std::wstring up = L"..";
    const auto levels = std::count(folder.begin() + static_cast<std::ptrdiff_t>(first), folder.end(), L'\\');
    for (std::ptrdiff_t i = 0; i < levels; ++i) up += L"\\..";
    return up;
}

void ChangeRemoteFolder(const std::wstring& current, const std::wstring& target,
                        CFTPCommandSequenceOpenDir& openDir, const CFTPControlConnection& connection) {
    if (current == target) return;
    const std::wstring up = BuildUpPath(current);
    if (!up.empty()) openDir.Run(connection.WireName(up));
    openDir.Run(connection.WireName(target));
}
