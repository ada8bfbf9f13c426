#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequence.h"

// Logs in: reads the greeting, sends USER, then PASS with the password or, when the USER reply
// holds an "otp-md5" challenge, the six-word one-time response (RFC 2289). A USER reply of
// class 2 (230) needs no password: it is the result, and PASS is not sent. Names are 8-bit text
// in the thread's ANSI code page (the server's features are not known before the login).
// `beforeUser`, when given, runs between the greeting and USER: where the connection is secured
// (RFC 4217), so that nothing of the login goes out in clear. Throws 87 before anything is sent
// when the user name or the password holds CR, LF or NUL; a refused greeting, USER or PASS as
// FTPReply; 6 for a reply of no expected class; whatever `beforeUser` throws.
class CFTPCommandSequenceLogin : public CFTPCommandSequence {
public:
    CFTPCommandSequenceLogin(CFTPControlConnection& connection, platform::Event abort,
                             std::vector<std::wstring>& transcript, FTPTimeouts timeouts = {})
        : CFTPCommandSequence(connection, std::move(abort), transcript, timeouts) {}

    FTPReply Run(const std::string& userName, const std::string& password,
                 const std::function<void()>& beforeUser = nullptr);
};
