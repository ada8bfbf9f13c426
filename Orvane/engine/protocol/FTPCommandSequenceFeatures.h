#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// Asks the server what it can do (FEAT, RFC 2389), right after the login, and records the answer
// in the connection. When the server offers UTF8 (RFC 2640), sends "OPTS UTF8 ON" and switches
// the connection to UTF-8, whatever the server answers to OPTS: offering UTF8 says its names are
// UTF-8. A server that refuses FEAT (500, 502, or any other class 4 or 5 reply but 421) keeps
// the ANSI code page. The result is the last reply, a refusal included; callers need not keep
// it. Throws 421 (the server is closing the connection) as FTPReply, 6 for a reply of no
// expected class, and the connection's errors.
class CFTPCommandSequenceFeatures : public CFTPCommandSequence {
public:
    CFTPCommandSequenceFeatures(CFTPControlConnection& connection, platform::Event abort,
                                std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run();

private:
    // Runs what is queued; a refusal is returned, except 421, which is thrown.
    FTPReply RunAllowingRefusal();
};
