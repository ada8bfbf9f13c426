#pragma once
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// The commands of FTP over TLS (RFC 4217) around the handshake, which the connection runs
// (CFTPControlConnection::Secure): AUTH TLS before it, PBSZ 0 and PROT P after it, all before the
// login, so that the user name and the password travel inside TLS.
class CFTPCommandSequenceSecure : public CFTPCommandSequence {
public:
    CFTPCommandSequenceSecure(CFTPControlConnection& connection, platform::Event abort,
                              std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    // AUTH TLS. True when the server is ready for the handshake (234). A server that does not
    // know the command or will not secure this session (500, 502, 504, 530, 534: RFC 2228, 4217)
    // gives false, or, when `required`, kErrorTlsNotOffered: nothing is sent after it. Throws any
    // other refusal as FTPReply, 6 for any other reply.
    bool RequestTls(bool required);

    // PBSZ 0 and PROT P (RFC 4217, 9): data connections will run TLS too. Only after the
    // handshake. A refusal of either is thrown as FTPReply: data would travel in clear.
    FTPReply ProtectData();
};
