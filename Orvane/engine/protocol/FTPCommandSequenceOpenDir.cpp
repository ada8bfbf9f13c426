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
            } catch (const FTPReply&) {
                // Most often the folder is there already; if it really could not be made, the
                // CWD below says so.
            }
        }
        CFTPCommandChangeDirectory cwd(component);
        Queue(cwd);
        reply = RunCommands();
    }
    return reply;
}
