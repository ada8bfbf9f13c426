#include "Orvane/engine/protocol/FTPCommandSequenceOpenDir.h"

FTPReply CFTPCommandSequenceOpenDir::Run(const std::string& path) {
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
                // Most often the folder is there already; if it really could not be made, the
                // CWD below says so. A server that is closing the connection answers nothing more.
                if (refused.code == kReplyClosing) throw;
            }
        }
        CFTPCommandChangeDirectory cwd(component);
        Queue(cwd);
        reply = RunCommands();
    }
    return reply;
}
