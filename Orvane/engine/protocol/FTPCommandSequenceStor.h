#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"
#include "platform/Window.h"

// PASV, then STOR of one local file under `remoteName` (as the connection sends names, see
// CFTPControlConnection::WireName) in the current remote folder. The result is the STOR's final
// reply (normally 226).
//
// With `offset`, the server is first asked to continue its copy at that byte (REST, RFC 3659,
// after PASV and right before STOR as it requires), and only the rest of the local file goes;
// the progress window hears WM_UPLOAD_RESUMED with the offset before any progress of the file.
// A refused REST sends the whole file instead: the server has no restart marker then, so its
// STOR starts the file anew.
class CFTPCommandSequenceStor : public CFTPCommandSequence {
public:
    CFTPCommandSequenceStor(CFTPControlConnection& connection, platform::Event abort,
                            std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::wstring& localPath, const std::string& remoteName,
                 platform::WindowRef progressWindow, std::uint64_t offset = 0);

private:
    // REST `offset`: true when the server took it. Throws a 421 as FTPReply, and int errors.
    bool Restart(std::uint64_t offset);
};
