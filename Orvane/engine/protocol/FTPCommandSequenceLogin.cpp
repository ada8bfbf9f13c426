#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"

#include "Orvane/engine/protocol/OtpResponse.h"

FTPReply CFTPCommandSequenceLogin::Run(const std::string& userName, const std::string& password,
                                       const std::function<void()>& beforeUser) {
    CFTPCommandWelcomeReply welcome;
    CFTPCommandUser user(userName);
    // The PASS line is built only after the USER reply, which may carry a challenge; a password
    // that would smuggle in further commands is refused before the greeting is even read.
    RequireSafeArgument(password);
    Queue(welcome);
    RunCommands();
    if (beforeUser) beforeUser();
    Queue(user);
    const FTPReply userReply = RunCommands();
    // 230 (or any class 2) to USER: logged in without a password (RFC 959, 5.4); a PASS now
    // would be refused with 503 and fail a login that has succeeded.
    if (userReply.code / 100 == 2) return userReply;

    CFTPCommandPassword pass(ComputeOtpResponse(password, userReply.text));
    Queue(pass);
    return RunCommands();
}
