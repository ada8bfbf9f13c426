#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// "TYPE A": back to text transfers.
class CFTPCommandSequenceTypeA : public CFTPCommandSequence {
public:
    CFTPCommandSequenceTypeA(CFTPControlConnection& connection, platform::Event abort,
                             std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run();
};
