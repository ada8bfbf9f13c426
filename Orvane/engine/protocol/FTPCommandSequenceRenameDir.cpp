#include "Orvane/engine/protocol/FTPCommandSequenceRenameDir.h"

FTPReply CFTPCommandSequenceRenameDir::Run(const std::string& oldName, const std::string& newName) {
    CFTPCommandRenameFrom from(oldName);
    CFTPCommandRenameTo to(newName);
    // One run: the 350 to RNFR lets RNTO follow, a refusal ends it.
    Queue(from);
    Queue(to);
    return RunCommands();
}
