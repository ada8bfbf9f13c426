#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// PASV, then LIST of the current remote folder. `listing` receives what the server sent, read
// as the connection reads replies (UTF-8, or the system's ANSI code page). The result is the
// final reply (normally 226).
class CFTPCommandSequenceList : public CFTPCommandSequence {
public:
    CFTPCommandSequenceList(CFTPControlConnection& connection, platform::Event abort,
                            std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequenceList("LIST", connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(std::wstring& listing);

protected:
    CFTPCommandSequenceList(std::string_view command, CFTPControlConnection& connection, platform::Event abort,
                            std::vector<std::wstring>& transcript, FTPTimeouts timeouts)
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts), m_command(command) {}

private:
    std::string_view m_command;
};
