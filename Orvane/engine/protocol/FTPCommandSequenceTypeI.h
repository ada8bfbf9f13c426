#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// "TYPE I": binary transfers from here on.
class CFTPCommandSequenceTypeI : public CFTPCommandSequence {
public:
    CFTPCommandSequenceTypeI(CFTPControlConnection& connection, platform::Event abort,
                             std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run();
};
