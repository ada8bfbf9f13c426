#include "Orvane/engine/protocol/FTPCommandSequenceCreateDir.h"

FTPReply CFTPCommandSequenceCreateDir::Run(const std::string& path) {
    const std::vector<std::string> components = SplitRemotePath(path);
    for (const std::string& component : components) RequireSafeArgument(component);
    FTPReply reply;
    for (const std::string& component : components) {
        if (component != "..") {
            CFTPCommandCreateDirectory mkd(component);
            Queue(mkd);
            try {
                reply = RunCommands();
            } catch (const FTPReply& refused) {
                if (refused.code == kReplyClosing) throw;  // nothing more can be asked
                reply = refused;  // it exists (or cannot be made): try to enter it
            }
            if (reply.code / 100 == 2) continue;
        }
        CFTPCommandChangeDirectory cwd(component);
        Queue(cwd);
        reply = RunCommands();
    }
    return reply;
}
