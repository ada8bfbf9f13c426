#include "Orvane/engine/protocol/FTPCommandSequence.h"

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

FTPReply CFTPCommandSequence::RunCommands() {
    std::vector<CFTPCommand*> queue;
    queue.swap(m_queue);
    FTPReply reply;
    for (CFTPCommand* command : queue) {
        m_transcript.push_back(platform::FromAnsi(command->LoggedText(), m_connection.ReceivePage()));
        reply = command->Execute(m_connection, m_abort, m_timeouts);
        m_transcript.push_back(reply.text);
        switch (reply.code / 100) {
        case 2:
        case 3: break;
        case 4:
        case 5: throw reply;
        default: throw platform::kErrorUnexpectedReply;  // closed, unreadable, 1xx or 6xx and above
        }
    }
    return reply;
}

std::vector<std::string> SplitRemotePath(const std::string& path) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}
