#pragma once
// What the transfer tests share: a logged-in session on the real test server, and how one run
// of a sequence ended.
#include <optional>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPReply.h"
#include "tests/support/PyFtpdServer.h"

namespace transfertest {

// Long enough for a loaded machine, short enough that a hang fails quickly.
inline const FTPTimeouts kRealServerTimeouts{platform::Millis(5000), platform::Millis(5000)};

// Connects to the test server and logs in as its user.
inline CFTPControlConnection LogIn(testsupport::PyFtpdServer& server, platform::Event& abort,
                                   std::vector<std::wstring>& transcript) {
    CFTPControlConnection connection =
        CFTPControlConnection::ConnectToServer(L"127.0.0.1", server.Port(), abort, kRealServerTimeouts);
    CFTPCommandSequenceLogin(connection, abort, transcript, kRealServerTimeouts)
        .Run(server.Settings().user, server.Settings().password);
    return connection;
}

// The reply a run returned, or the error code or the refusal it threw.
struct Outcome {
    std::optional<FTPReply> reply;
    int error = 0;
    std::optional<FTPReply> refusal;
};

template <class Call>
Outcome OutcomeOf(Call&& call) {
    Outcome outcome;
    try {
        outcome.reply = call();
    } catch (int error) {
        outcome.error = error;
    } catch (const FTPReply& reply) {
        outcome.refusal = reply;
    }
    return outcome;
}

}  // namespace transfertest
