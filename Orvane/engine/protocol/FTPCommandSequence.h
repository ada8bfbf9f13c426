#pragma once
#include <string>
#include <utility>
#include <vector>

#include "Orvane/engine/protocol/FTPCommand.h"
#include "Orvane/engine/protocol/FTPControlConnection.h"
#include "Orvane/engine/protocol/FTPReply.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "platform/Event.h"

// The unit in which tasks talk FTP. A sequence runs commands that it creates on its own stack,
// records each exchange in the task's transcript, and turns replies into exceptions: an FTPReply
// for class 4 and 5, error 6 for any class but 2 to 5. Runnable again after every run.
class CFTPCommandSequence {
public:
    virtual ~CFTPCommandSequence() = default;
    CFTPCommandSequence(const CFTPCommandSequence&) = delete;
    CFTPCommandSequence& operator=(const CFTPCommandSequence&) = delete;

protected:
    CFTPCommandSequence(CFTPControlConnection& connection, platform::Event abort,
                        std::vector<std::wstring>& transcript, FTPTimeouts timeouts)
        : m_connection(connection), m_abort(std::move(abort)), m_transcript(transcript),
          m_timeouts(timeouts) {}

    // The queue never owns its commands; their creator's scope does.
    void Queue(CFTPCommand& command) { m_queue.push_back(&command); }

    // Runs the queued commands in order and returns the last reply ({200, ""} for none). The
    // queue is empty afterwards, also when it throws, so a caller that catches can go on.
    FTPReply RunCommands();

    CFTPControlConnection& Connection() { return m_connection; }
    platform::Event& Abort() { return m_abort; }
    const FTPTimeouts& Timeouts() const { return m_timeouts; }

private:
    CFTPControlConnection& m_connection;
    platform::Event m_abort;
    std::vector<std::wstring>& m_transcript;
    FTPTimeouts m_timeouts;
    std::vector<CFTPCommand*> m_queue;
};

// Splits a relative path at backslashes, skipping empty components.
std::vector<std::string> SplitRemotePath(const std::string& path);
