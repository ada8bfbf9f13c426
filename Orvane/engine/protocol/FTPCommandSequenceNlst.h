#pragma once
#include "Orvane/engine/protocol/FTPCommandSequenceList.h"

// As the List sequence, with NLST: the names only, one a line.
class CFTPCommandSequenceNlst : public CFTPCommandSequenceList {
public:
    CFTPCommandSequenceNlst(CFTPControlConnection& connection, platform::Event abort,
                            std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequenceList("NLST", connection, std::move(abort), transcript, timeouts) {}
};
