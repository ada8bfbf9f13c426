#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// Enters a relative path (components separated by backslashes), creating what is missing: per
// component MKD (a refusal means it exists, and is ignored), then CWD; ".." is only entered.
// An empty path sends nothing and gives {200, ""}. Throws 87 for CR, LF or NUL in a component
// before anything is sent, a refused CWD, and a 421 to MKD, as FTPReply.
class CFTPCommandSequenceOpenDir : public CFTPCommandSequence {
public:
    CFTPCommandSequenceOpenDir(CFTPControlConnection& connection, platform::Event abort,
                               std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::string& path);
};
