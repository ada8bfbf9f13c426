#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"
#include "platform/Window.h"

// PASV, then STOR of one local file under `remoteName` (as the connection sends names, see
// CFTPControlConnection::WireName) in the current remote folder. The result is the STOR's final
// reply (normally 226).
class CFTPCommandSequenceStor : public CFTPCommandSequence {
public:
    CFTPCommandSequenceStor(CFTPControlConnection& connection, platform::Event abort,
                            std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::wstring& localPath, const std::string& remoteName,
                 platform::WindowRef progressWindow);
};
