#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"

#include "Orvane/engine/protocol/OtpResponse.h"

FTPReply CFTPCommandSequenceLogin::Run(const std::string& userName, const std::string& password) {
    CFTPCommandWelcomeReply welcome;
    CFTPCommandUser user(userName);
    // The PASS line is built only after the USER reply, which may carry a challenge; a password
    // that would smuggle in further commands is refused before the greeting is even read.
    RequireSafeArgument(password);
    Queue(welcome);
    Queue(user);
    const FTPReply userReply = RunCommands();

    CFTPCommandPassword pass(ComputeOtpResponse(password, userReply.text));
    Queue(pass);
    return RunCommands();
}
