#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"

#include <memory>

#include "Orvane/engine/protocol/DataAddress.h"
#include "Orvane/engine/protocol/FTPCommandSTOR.h"
#include "Orvane/engine/tasks/TaskMessages.h"

FTPReply CFTPCommandSequenceStor::Run(const std::wstring& localPath, const std::string& remoteName,
                                      platform::WindowRef progressWindow, std::uint64_t offset) {
    RequireSafeArgument(remoteName);  // before PASV: nothing goes out for a name we refuse
    CFTPCommand pasv("PASV");
    Queue(pasv);
    const FTPReply passive = RunCommands();
    const platform::Endpoint dataAddress = DataAddressFor(Connection(), passive.text);
    if (offset > 0 && !Restart(offset)) offset = 0;
    if (offset > 0 && progressWindow.handle != 0)
        platform::PostOwned(progressWindow, WM_UPLOAD_RESUMED, std::make_unique<std::wstring>(localPath),
                            static_cast<std::intptr_t>(offset));
    CFTPCommandSTOR stor(localPath, remoteName, progressWindow, dataAddress, Abort(),
                         Connection().DataCredentials(), offset);
    Queue(stor);
    return RunCommands();
}

bool CFTPCommandSequenceStor::Restart(std::uint64_t offset) {
    CFTPCommand rest("REST " + std::to_string(offset));
    Queue(rest);
    try {
        RunCommands();
        return true;
    } catch (const FTPReply& refused) {
        if (refused.code == kReplyClosing) throw;
        return false;
    }
}
