#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPControlConnection.h"
#include "Orvane/engine/protocol/FTPReply.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/Event.h"
#include "platform/Tls.h"
#include "platform/Window.h"
#include "store/FTPSettings.h"

// One remote job over a connection of its own. Built on the UI thread with private copies of
// all its inputs, run once on the runner's worker, then deleted. It reports only by messages
// posted to its notify window.
class CFTPTask {
public:
    virtual ~CFTPTask() = default;
    CFTPTask(const CFTPTask&) = delete;
    CFTPTask& operator=(const CFTPTask&) = delete;

    // The whole task, on the worker thread. Every failure of the session ends up in the result;
    // whatever still escapes is the runner's to report (ReportFailure).
    virtual void Execute() = 0;

    // For the runner, when Execute ended by an exception: posts the done message with a result
    // that carries `errorCode`, unless Execute got as far as posting it. When not even that
    // result can be made, nothing is posted.
    void ReportFailure(std::uint32_t errorCode) noexcept;

protected:
    // `abortEvent` is the runner's stop event: not owned, never set by the task; every socket
    // wait of the task also waits on it and fails with 995 once it fires.
    CFTPTask(platform::WindowRef notifyWindow, FTPSettings destination, platform::Event abortEvent,
             FTPTimeouts timeouts);

    // What a task's own steps work with once the skeleton has logged in.
    struct Session {
        CFTPControlConnection& connection;
        std::vector<std::wstring>& transcript;  // every sequence of the task appends to it
        FTPReply& reply;                        // the reply the result will carry
        platform::Event abort;
        FTPTimeouts timeouts;

        template <class Sequence>
        Sequence Open() {
            return Sequence(connection, abort, transcript, timeouts);
        }
        // A name as this connection sends it: UTF-8 when the server offered it, otherwise the
        // thread's ANSI code page. Throws 1113 when that cannot carry it exactly.
        std::string WireName(const std::wstring& text) const { return connection.WireName(text); }
    };

    // The run skeleton between the started and the done message: OpenSession, then `steps`
    // (which begin with EnterStartingFolder, or a variant of it); whatever happened, QUIT with a
    // transcript of its own and close. `steps` throw int or FTPReply; an int becomes the
    // result's error code and leaves the reply as it was, a thrown reply becomes the reply.
    std::unique_ptr<CTaskResult> RunSession(const std::function<void(Session&)>& steps) {
        return RunSession(m_abortEvent, steps, {});
    }
    // The same for one of several connections of a task: its waits end on `abort` instead of the
    // runner's stop event, and `loggedIn` runs once the server has taken the login.
    std::unique_ptr<CTaskResult> RunSession(platform::Event abort, const std::function<void(Session&)>& steps,
                                            const std::function<void()>& loggedIn);

    // How every connection of every task begins: connect (into `connection`, so that the caller
    // can still QUIT after a later failure), secure it as the destination says (RFC 4217:
    // implicit TLS at once, or AUTH TLS after the greeting; then PBSZ 0 and PROT P), log in, then
    // `loggedIn` (when given), then ask for the server's features (FEAT, which decides the wire's
    // encoding). Throws int or FTPReply; `reply` is the login's. Returns the session it opened.
    Session OpenSession(std::optional<CFTPControlConnection>& connection, std::vector<std::wstring>& transcript,
                        FTPReply& reply, platform::Event abort, const std::function<void()>& loggedIn);

    // CWD into the destination's starting folder when it has one; its reply becomes the reply.
    void EnterStartingFolder(Session& session);

    // Posts the done message with `result` through PostDone; the last thing Execute does.
    void Finish(std::unique_ptr<CTaskResult> result);

    platform::WindowRef NotifyWindow() const { return m_notifyWindow; }
    FTPSettings& Destination() { return m_destination; }
    const FTPSettings& Destination() const { return m_destination; }
    platform::Event AbortEvent() const { return m_abortEvent; }

private:
    // AUTH TLS and the handshake (unless implicit TLS did it at connect), PBSZ and PROT, as the
    // destination's encryption asks; nothing for plain FTP or a server that refuses AUTH TLS
    // where that is allowed. Throws int or FTPReply.
    void Secure(Session& session, const std::optional<platform::TlsCredentials>& credentials);
    // The handshake on the control connection, and its facts into the transcript and the trace.
    void Handshake(Session& session, const platform::TlsCredentials& credentials);

    // The task's done message with `result` and whatever the task sends along with it; the
    // result and the payload are freed here when the window is gone.
    virtual void PostDone(std::unique_ptr<CTaskResult> result) = 0;

    platform::WindowRef m_notifyWindow;
    FTPSettings m_destination;
    platform::Event m_abortEvent;
    FTPTimeouts m_timeouts;
    bool m_finished = false;  // the done message has gone
};
