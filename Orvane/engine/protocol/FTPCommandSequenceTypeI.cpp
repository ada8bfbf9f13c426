#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"

FTPReply CFTPCommandSequenceTypeI::Run() {
    CFTPCommand type("TYPE I");
    Queue(type);
    return RunCommands();
}
