#include "Orvane/engine/protocol/FTPCommandSequenceTypeA.h"

FTPReply CFTPCommandSequenceTypeA::Run() {
    CFTPCommand type("TYPE A");
    Queue(type);
    return RunCommands();
}
