#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"

FTPReply CFTPCommandSequenceQuit::Run() {
    if (!Connection().IsOpen()) return {};
    CFTPCommand quit("QUIT");
    Queue(quit);
    try {
        RunCommands();
    } catch (int) {
        // The connection is going away anyway: a broken one, or the abort signal, changes nothing.
    } catch (const FTPReply&) {
    }
    return {};
}
