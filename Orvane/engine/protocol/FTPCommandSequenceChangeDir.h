#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// CWD with the folder as one argument, separators included. Throws 87 for CR, LF or NUL in it.
class CFTPCommandSequenceChangeDir : public CFTPCommandSequence {
public:
    CFTPCommandSequenceChangeDir(CFTPControlConnection& connection, platform::Event abort,
                                 std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::string& folder);
};
