#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"

FTPReply CFTPCommandSequenceChangeDir::Run(const std::string& folder) {
    CFTPCommandChangeDirectory cwd(folder);
    Queue(cwd);
    return RunCommands();
}
