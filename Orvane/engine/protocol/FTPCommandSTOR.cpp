#include "Orvane/engine/protocol/FTPCommandSTOR.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "Orvane/engine/protocol/SecurityFacts.h"
#include "Orvane/engine/protocol/TraceLog.h"
#include "Orvane/engine/tasks/ExceptionCode.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "platform/File.h"
#include "platform/TextCodec.h"

namespace {

// Runs `onExit` when the scope is left by an exception.
template <class F>
class OnUnwind {
public:
    explicit OnUnwind(F onExit) : m_onExit(std::move(onExit)), m_exceptions(std::uncaught_exceptions()) {}
    ~OnUnwind() {
        if (std::uncaught_exceptions() > m_exceptions) m_onExit();
    }
    OnUnwind(const OnUnwind&) = delete;
    OnUnwind& operator=(const OnUnwind&) = delete;

private:
    F m_onExit;
    int m_exceptions;
};

std::wstring ErrorNumberLine(int error) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(error));
    return L"Error number: " + std::wstring(hex, hex + std::char_traits<char>::length(hex));
}

}  // namespace

CFTPCommandSTOR::CFTPCommandSTOR(std::wstring localPath, std::string_view remoteName,
                                 platform::WindowRef progressWindow, platform::Endpoint dataAddress,
                                 platform::Event abort, std::optional<platform::TlsCredentials> tls,
                                 std::uint64_t offset)
    : CFTPCommand("STOR ", remoteName, {}),
      CThreadDriver(platform::kInfinite),
      m_localPath(std::move(localPath)),
      m_progressWindow(progressWindow),
      m_dataAddress(dataAddress),
      m_offset(offset),
      m_abort(std::move(abort)),
      m_tls(std::move(tls)) {}

// The thread touches our members: it must have ended before they go.
CFTPCommandSTOR::~CFTPCommandSTOR() { StopWorker(); }

FTPReply CFTPCommandSTOR::Execute(CFTPControlConnection& connection, platform::Event& abort,
                                  const FTPTimeouts& timeouts) {
    TraceScope scope(L"CFTPCommandSTOR::Execute");
    m_sendTimeout = timeouts.send;
    m_handshakeTimeout = timeouts.receive;
    m_preliminary = false;
    m_goAhead.Reset();
    m_transferDone.Reset();
    m_transferError = 0;
    QueueItem(nullptr);
    // Whatever leaves this call early, the thread is let go and ended here: it may be waiting
    // for the go-ahead, and the destructor waits for it without limit.
    const OnUnwind abandon([this] { AbandonTransfer(); });
    try {
        connection.SendCommand(CommandText(), platform::FromAnsi(LoggedText(), connection.SendPage()), abort, timeouts.send);
        FTPReply reply = connection.ReadNextReply(abort, timeouts.receive);
        if (reply.code / 100 > 2) m_abort.Set();  // refused: the thread must not send
        m_preliminary = reply.code / 100 == 1;
        m_goAhead.Set();
        if (reply.code / 100 == 1) {
            // Every wait of the transfer ends on the abort event, so this wait does too.
            m_transferDone.Wait(platform::kInfinite);
            if (m_abort.IsSet()) throw m_transferError != 0 ? m_transferError : platform::kErrorAborted;
            reply = connection.ReadReply(abort, timeouts.receive);
        }
        if (reply.code / 100 != 2) m_abort.Set();  // the transfer must not go on
        StopWorker();
        // A server that answered 2xx at once did not wait for the data: it has not got them all
        // when the transfer failed.
        if (reply.code / 100 == 2 && m_transferError != 0) throw m_transferError;
        return reply;
    } catch (int error) {
        AbandonTransfer();
        // A wait that the transfer thread ended reports the thread's own error.
        throw m_transferError != 0 && error == platform::kErrorAborted ? m_transferError : error;
    }
}

void CFTPCommandSTOR::AbandonTransfer() {
    m_abort.Set();
    m_goAhead.Set();
    StopWorker();
}

void CFTPCommandSTOR::ThreadProc(void*) {
    try {
        TraceScope scope(L"CFTPCommandSTOR::ThreadProc");
        try {
            CFTPStream data(platform::ConnectTcp(m_dataAddress, m_abort, m_sendTimeout));
            m_goAhead.Wait(platform::kInfinite);  // the control side sets it on every path
            if (!m_tls || Secure(data)) SendFile(data);
        } catch (...) {
            Fail(CurrentExceptionCode());
        }
    } catch (...) {
        Fail(CurrentExceptionCode());  // not even the trace scope could be made
    }
    m_transferDone.Set();
}

// The server takes up the handshake only after its 1xx; one that answered 2xx at once and still
// waits for TLS data is past saving. A refused STOR or a stop leaves the transfer off, as in clear.
bool CFTPCommandSTOR::Secure(CFTPStream& data) {
    if (m_abort.IsSet()) {
        data.CloseAbortive();
        return false;
    }
    if (!m_preliminary) {
        data.CloseAbortive();
        throw platform::kErrorUnexpectedReply;
    }
    try {
        data.Secure(*m_tls, m_abort, m_handshakeTimeout);
    } catch (int) {
        data.CloseAbortive();
        throw;
    }
    WriteTrace([&] { return L"Data connection: " + SecurityFacts(*data.Tls()); });
    return true;
}

void CFTPCommandSTOR::DiscardItem(void*) {
    Fail(platform::kErrorNotEnoughMemory);
    m_transferDone.Set();
}

void CFTPCommandSTOR::Fail(int error) noexcept {
    try {
        WriteTrace(ErrorNumberLine(error));
    } catch (...) {
        // No memory for the line: the error still reaches the result.
    }
    m_transferError = error;
    m_abort.Set();
}

void CFTPCommandSTOR::PostProgress(std::size_t& bytes) const {
    if (m_progressWindow.handle == 0 || bytes == 0) return;
    if (platform::PostOwned(m_progressWindow, WM_UPLOAD_PROGRESS, std::make_unique<std::wstring>(m_localPath),
                            static_cast<std::intptr_t>(bytes)))
        bytes = 0;
}

void CFTPCommandSTOR::SendFile(CFTPStream& data) {
    try {
        platform::File file = platform::OpenForReading(m_localPath);
        if (m_offset > 0) platform::Seek(file, m_offset);
        std::vector<char> buffer(data.Secured() ? kTlsChunkSize : kChunkSize);
        const std::size_t pollEvery = std::max<std::size_t>(1, kAbortPollBytes / buffer.size());
        // Bytes whose report could not be posted travel with the next one, so that the
        // receiver's count still adds up to the file's size.
        std::size_t unposted = 0;
        for (std::size_t chunk = 0;; ++chunk) {
            const std::size_t n = platform::Read(file, buffer);
            if (n == 0) break;
            // A send the system takes at once never waits, so it never sees the abort either.
            if (chunk % pollEvery == 0 && m_abort.IsSet()) {
                data.CloseAbortive();
                return;
            }
            // A failed send (the server reset the connection, or stopped reading until the
            // time-out) ends the transfer with its error: the file did not arrive whole.
            data.Send(std::span<const char>(buffer.data(), n), m_abort, m_sendTimeout);
            unposted += n;
            PostProgress(unposted);
        }
        PostProgress(unposted);  // what a full queue refused at the last chunk
    } catch (...) {
        data.CloseAbortive();  // never a complete file on the server
        throw;
    }
    // The end of the stream is the end of the file; over TLS the close alert says so, and the
    // server's answer to it is awaited, so that closing never resets what it has not read yet.
    data.Close(m_abort, m_sendTimeout);
}
