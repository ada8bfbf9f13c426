#include "Orvane/engine/tasks/FTPTask.h"

#include <optional>
#include <utility>

#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceFeatures.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"
#include "Orvane/engine/tasks/ExceptionCode.h"
#include "platform/ErrorCodes.h"
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
    } catch (...) {
        // An int from the engine; or no memory, or a fault of ours: a failed task, not the end
        // of the process, and the QUIT below still goes out.
        errorCode = static_cast<std::uint32_t>(CurrentExceptionCode());
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

void CFTPTask::Finish(std::unique_ptr<CTaskResult> result) {
    PostDone(std::move(result));
    m_finished = true;  // only now: a post that threw leaves the report to ReportFailure
}

void CFTPTask::ReportFailure(std::uint32_t errorCode) noexcept {
    if (m_finished) return;
    try {
        Finish(std::make_unique<CTaskResult>(errorCode, FTPReply{}, std::vector<std::wstring>{}));
    } catch (...) {
        // Not even this much memory: the window never hears of the task.
    }
}

void CFTPTask::EnterStartingFolder(Session& session) {
    if (m_destination.directory.empty()) return;
    session.reply = session.Open<CFTPCommandSequenceChangeDir>().Run(session.WireName(m_destination.directory));
}
