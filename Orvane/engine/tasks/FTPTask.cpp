#include "Orvane/engine/tasks/FTPTask.h"

#include <optional>
#include <utility>

#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceFeatures.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"
#include "Orvane/engine/protocol/FTPCommandSequenceSecure.h"
#include "Orvane/engine/protocol/TraceLog.h"
#include "Orvane/engine/tasks/ExceptionCode.h"
#include "Orvane/engine/tasks/SecurityTexts.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

CFTPTask::CFTPTask(platform::WindowRef notifyWindow, FTPSettings destination,
                   platform::Event abortEvent, FTPTimeouts timeouts)
    : m_notifyWindow(notifyWindow),
      m_destination(std::move(destination)),
      m_abortEvent(std::move(abortEvent)),
      m_timeouts(timeouts) {}

CFTPTask::Session CFTPTask::OpenSession(std::optional<CFTPControlConnection>& connection,
                                        std::vector<std::wstring>& transcript, FTPReply& reply, platform::Event abort,
                                        const std::function<void()>& loggedIn) {
    connection.emplace(
        CFTPControlConnection::ConnectToServer(m_destination.server, m_destination.port, abort, m_timeouts));
    Session session{*connection, transcript, reply, std::move(abort), m_timeouts};
    // One set of credentials for the connection's life: its data connections resume the control
    // connection's TLS session, which servers may insist on.
    std::optional<platform::TlsCredentials> credentials;
    if (m_destination.encryption != FTPEncryption::None)
        credentials.emplace(m_destination.server, m_destination.trustedCertificate);
    if (m_destination.encryption == FTPEncryption::Implicit) Handshake(session, *credentials);
    reply = session.Open<CFTPCommandSequenceLogin>().Run(platform::ToAnsi(m_destination.userName),
                                                         platform::ToAnsi(m_destination.password),
                                                         [&] { Secure(session, credentials); });
    if (loggedIn) loggedIn();
    session.Open<CFTPCommandSequenceFeatures>().Run();  // its reply is not the task's
    return session;
}

std::unique_ptr<CTaskResult> CFTPTask::RunSession(platform::Event abort, const std::function<void(Session&)>& steps,
                                                  const std::function<void()>& loggedIn) {
    std::vector<std::wstring> transcript;
    FTPReply reply;
    std::uint32_t errorCode = 0;
    std::optional<CFTPControlConnection> connection;
    try {
        Session session = OpenSession(connection, transcript, reply, abort, loggedIn);
        steps(session);
    } catch (const FTPReply& refused) {
        reply = refused;
    } catch (...) {
        // An int from the engine; or no memory, or a fault of ours: a failed task, not the end
        // of the process, and the QUIT below still goes out.
        errorCode = static_cast<std::uint32_t>(CurrentExceptionCode());
    }
    std::optional<platform::TlsCertificate> certificate;
    if (connection) {
        certificate = connection->PeerCertificate();
        // QUIT swallows every failure of its own (a broken connection, the abort signal); its
        // lines are not part of what the user sees.
        std::vector<std::wstring> quitTranscript;
        CFTPCommandSequenceQuit(*connection, abort, quitTranscript, m_timeouts).Run();
    }
    connection.reset();
    auto result = std::make_unique<CTaskResult>(errorCode, std::move(reply), std::move(transcript));
    result->certificate = std::move(certificate);
    return result;
}

void CFTPTask::Secure(Session& session, const std::optional<platform::TlsCredentials>& credentials) {
    const FTPEncryption encryption = m_destination.encryption;
    if (!credentials) return;
    auto secure = session.Open<CFTPCommandSequenceSecure>();
    if (encryption != FTPEncryption::Implicit) {
        // A handshake that fails after 234 ends the session: never a quiet step back to clear.
        if (!secure.RequestTls(encryption == FTPEncryption::ExplicitRequired)) return;
        Handshake(session, *credentials);
    }
    secure.ProtectData();
}

void CFTPTask::Handshake(Session& session, const platform::TlsCredentials& credentials) {
    session.connection.Secure(credentials, session.abort, session.timeouts.receive);
    std::wstring line = SecuredConnectionText(*session.connection.Tls());
    WriteTrace(line);
    session.transcript.push_back(std::move(line));
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
