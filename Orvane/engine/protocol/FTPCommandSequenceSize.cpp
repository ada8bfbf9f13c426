#include "Orvane/engine/protocol/FTPCommandSequenceSize.h"

FTPReply CFTPCommandSequenceSize::Run(const std::string& name) {
    CFTPCommandSize size(name);
    Queue(size);
    return RunCommands();
}
