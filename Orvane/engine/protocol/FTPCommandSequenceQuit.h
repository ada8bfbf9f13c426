#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// Sends QUIT. Never fails: a refusal, a broken or a never-opened connection all end in {200, ""}.
class CFTPCommandSequenceQuit : public CFTPCommandSequence {
public:
    CFTPCommandSequenceQuit(CFTPControlConnection& connection, platform::Event abort,
                            std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run();
};
