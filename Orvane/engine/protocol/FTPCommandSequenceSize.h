#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// SIZE of a file in the current remote folder (RFC 3659, 4): 213 and its size when the file is
// there under exactly that name. Throws the refusal (550 when there is no such file) as
// FTPReply, 87 for CR, LF or NUL in the name before anything is sent.
class CFTPCommandSequenceSize : public CFTPCommandSequence {
public:
    CFTPCommandSequenceSize(CFTPControlConnection& connection, platform::Event abort,
                            std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::string& name);
};
