#include "Orvane/engine/protocol/FTPCommandSequenceFeatures.h"

#include "Orvane/engine/protocol/FTPFeatures.h"

FTPReply CFTPCommandSequenceFeatures::Run() {
    CFTPCommandFeatures feat;
    Queue(feat);
    FTPReply reply = RunAllowingRefusal();
    if (reply.code / 100 != 2) return reply;  // a server from before RFC 2389
    Connection().SetFeatures(ParseFeatures(feat.WholeReply()));
    if (!Connection().Features().Has("UTF8")) return reply;
    // OPTS UTF8 comes from a draft that never became an RFC: some servers need it to switch,
    // others refuse it (pyftpdlib answers 501, pure-ftpd 504) and speak UTF-8 all the same.
    CFTPCommand utf8On("OPTS UTF8 ON");
    Queue(utf8On);
    reply = RunAllowingRefusal();
    Connection().UseUtf8();
    return reply;
}

FTPReply CFTPCommandSequenceFeatures::RunAllowingRefusal() {
    try {
        return RunCommands();
    } catch (const FTPReply& refused) {
        if (refused.code == kReplyClosing) throw;
        return refused;
    }
}
