#include "Orvane/engine/protocol/FTPCommandSequenceSecure.h"

#include "platform/ErrorCodes.h"

namespace {

constexpr int kReadyForHandshake = 234;

// A server that cannot or will not do TLS here: not implemented (500, 502, 504), not for this
// user or session (530), or not by its policy (534).
bool RefusesTls(int code) {
    return code == 500 || code == 502 || code == 504 || code == 530 || code == 534;
}

}  // namespace

bool CFTPCommandSequenceSecure::RequestTls(bool required) {
    CFTPCommand auth("AUTH TLS");
    Queue(auth);
    FTPReply reply;
    try {
        reply = RunCommands();
    } catch (const FTPReply& refused) {
        if (!RefusesTls(refused.code)) throw;
        if (required) throw platform::kErrorTlsNotOffered;
        return false;
    }
    // 334 asks for ADAT (RFC 2228), a mechanism other than TLS; another 2xx is no promise to
    // take up a handshake.
    if (reply.code != kReadyForHandshake) throw platform::kErrorUnexpectedReply;
    return true;
}

FTPReply CFTPCommandSequenceSecure::ProtectData() {
    CFTPCommand bufferSize("PBSZ 0");
    CFTPCommand protection("PROT P");
    Queue(bufferSize);
    Queue(protection);
    const FTPReply reply = RunCommands();
    Connection().ProtectData();
    return reply;
}
