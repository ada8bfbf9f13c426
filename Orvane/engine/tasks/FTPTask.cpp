#include "Orvane/engine/tasks/FTPTask.h"

#include <optional>
#include <utility>

#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceFeatures.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"
#include "platform/TextCodec.h"

CFTPTask::CFTPTask(platform::WindowRef notifyWindow, FTPSettings destination,
                   platform::Event abortEvent, FTPTimeouts timeouts)
    : m_notifyWindow(notifyWindow),
      m_destination(std::move(destination)),
      m_abortEvent(std::move(abortEvent)),
      m_timeouts(timeouts) {}

std::unique_ptr<CTaskResult> CFTPTask::RunSession(const std::function<void(Session&)>& steps) {
    std::vector<std::wstring> transcript;
    FTPReply reply;
    std::uint32_t errorCode = 0;
    std::optional<CFTPControlConnection> connection;
    try {
        connection.emplace(CFTPControlConnection::ConnectToServer(
            m_destination.server, m_destination.port, m_abortEvent, m_timeouts));
        Session session{*connection, transcript, reply, m_abortEvent, m_timeouts};
        reply = session.Open<CFTPCommandSequenceLogin>().Run(platform::ToAnsi(m_destination.userName),
                                                             platform::ToAnsi(m_destination.password));
        session.Open<CFTPCommandSequenceFeatures>().Run();  // its reply is not the task's
        steps(session);
    } catch (const FTPReply& refused) {
        reply = refused;
    } catch (int code) {
        errorCode = static_cast<std::uint32_t>(code);
    }
    if (connection) {
        // QUIT swallows every failure of its own (a broken connection, the abort signal); its
        // lines are not part of what the user sees.
        std::vector<std::wstring> quitTranscript;
        CFTPCommandSequenceQuit(*connection, m_abortEvent, quitTranscript, m_timeouts).Run();
    }
    connection.reset();
    return std::make_unique<CTaskResult>(errorCode, std::move(reply), std::move(transcript));
}

void CFTPTask::EnterStartingFolder(Session& session) {
    if (m_destination.directory.empty()) return;
    session.reply = session.Open<CFTPCommandSequenceChangeDir>().Run(session.WireName(m_destination.directory));
}
