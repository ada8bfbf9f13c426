#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// Creates the last component of a relative path below folders that mostly exist: per component
// MKD, and CWD into it only when MKD was refused (it exists); ".." is only entered. A folder
// that MKD creates is not entered, so the connection ends in the new folder's parent. Throws 87
// for CR, LF or NUL in a component before anything is sent, a refused CWD, and a 421 to MKD, as
// FTPReply.
class CFTPCommandSequenceCreateDir : public CFTPCommandSequence {
public:
    CFTPCommandSequenceCreateDir(CFTPControlConnection& connection, platform::Event abort,
                                 std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::string& path);
};
