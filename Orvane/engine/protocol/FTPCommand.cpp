#include "Orvane/engine/protocol/FTPCommand.h"

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

void RequireSafeArgument(std::string_view argument) {
    if (argument.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw platform::kErrorInvalidParameter;
}

CFTPCommand::CFTPCommand(std::string_view prefix, std::string_view argument, std::string_view logged) {
    RequireSafeArgument(prefix);
    RequireSafeArgument(argument);
    m_commandText.reserve(prefix.size() + argument.size() + 2);
    m_commandText.append(prefix).append(argument).append("\r\n");
    m_loggedText = logged.empty() ? m_commandText : std::string(logged);
}

FTPReply CFTPCommand::Execute(CFTPControlConnection& connection, platform::Event& abort,
                              const FTPTimeouts& timeouts) {
    connection.SendCommand(m_commandText, platform::FromAnsi(m_loggedText, connection.SendPage()),
                           abort, timeouts.send);
    return connection.ReadReply(abort, timeouts.receive);
}

FTPReply CFTPCommandWelcomeReply::Execute(CFTPControlConnection& connection, platform::Event& abort,
                                          const FTPTimeouts& timeouts) {
    return connection.ReadGreeting(abort, timeouts.receive);
}

FTPReply CFTPCommandFeatures::Execute(CFTPControlConnection& connection, platform::Event& abort,
                                      const FTPTimeouts& timeouts) {
    connection.SendCommand(CommandText(), platform::FromAnsi(LoggedText(), connection.SendPage()), abort,
                           timeouts.send);
    return connection.ReadReply(abort, timeouts.receive, &m_wholeReply);
}
