#include "Orvane/engine/tasks/FTPTaskGetDirectoryContent.h"

#include <memory>
#include <utility>

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceList.h"
#include "Orvane/engine/tasks/TaskMessages.h"

namespace {
constexpr int kFolderUnavailable = 550;
}

CFTPTaskGetDirectoryContent::CFTPTaskGetDirectoryContent(platform::WindowRef notifyWindow,
                                                         FTPSettings destination,
                                                         platform::Event abortEvent, FTPTimeouts timeouts)
    : CFTPTask(notifyWindow, std::move(destination), std::move(abortEvent), timeouts) {}

void CFTPTaskGetDirectoryContent::Execute() {
    platform::PostToWindow(NotifyWindow(), WM_LIST_STARTED, 0, 0);
    auto result = RunSession([&](Session& session) {
        EnterNearestFolder(session);
        std::wstring listing;
        try {
            session.reply = session.Open<CFTPCommandSequenceList>().Run(listing);
        } catch (const FTPReply& refused) {
            if (!IsEmptyFolderReply(refused)) throw;
            listing.clear();  // the folder is there (its CWD succeeded) and holds nothing
        }
        m_content = std::make_unique<DirectoryContent>(Destination().directory, std::move(listing), L"");
    });
    if (!result->Succeeded() || result->errorCode != 0) m_content.reset();
    Finish(std::move(result));
}

void CFTPTaskGetDirectoryContent::PostDone(std::unique_ptr<CTaskResult> result) {
    platform::PostOwned(NotifyWindow(), WM_LIST_FINISHED, std::move(result), std::move(m_content));
}

void CFTPTaskGetDirectoryContent::EnterNearestFolder(Session& session) {
    std::wstring folder = WithoutTrailingSlashes(Destination().directory);
    FTPReply working;
    // Each pass cuts one component, so the climb ends after at most one pass per "/".
    while (!folder.empty()) {
        try {
            working = session.Open<CFTPCommandSequenceChangeDir>().Run(session.WireName(folder));
            break;
        } catch (const FTPReply& refused) {
            if (refused.code != kFolderUnavailable) throw;
            const std::size_t slash = folder.rfind(L'/');
            folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
        }
    }
    Destination().directory = WithoutTrailingSlashes(std::move(folder));
    session.reply = working;
}
