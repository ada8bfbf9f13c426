#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// RNFR then RNTO; the result is the RNTO reply. Throws 87 for CR, LF or NUL in either name
// before anything is sent.
class CFTPCommandSequenceRenameDir : public CFTPCommandSequence {
public:
    CFTPCommandSequenceRenameDir(CFTPControlConnection& connection, platform::Event abort,
                                 std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::string& oldName, const std::string& newName);
};
