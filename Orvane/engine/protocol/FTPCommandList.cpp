#include "Orvane/engine/protocol/FTPCommandList.h"

#include <algorithm>
#include <array>

#include "Orvane/engine/protocol/FTPStream.h"
#include "Orvane/engine/protocol/SecurityFacts.h"
#include "Orvane/engine/protocol/TraceLog.h"
#include "Orvane/engine/tasks/ExceptionCode.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

CFTPCommandList::CFTPCommandList(platform::Endpoint dataAddress, std::string_view text, platform::Event abort,
                                 std::optional<platform::TlsCredentials> tls, std::size_t limit)
    : CFTPCommand(text), CThreadDriver(kStopTimeout),
      m_transfer(std::make_shared<Transfer>(dataAddress, std::move(abort), std::move(tls), limit)) {}

CFTPCommandList::~CFTPCommandList() {
    m_transfer->goAhead.Set();  // a thread still waiting for it must not wait for ever
    StopWorker();
}

FTPReply CFTPCommandList::Execute(CFTPControlConnection& connection, platform::Event& abort,
                                  const FTPTimeouts& timeouts) {
    m_transfer->connectTimeout = timeouts.send;
    m_transfer->handshakeTimeout = timeouts.receive;
    QueueItem(nullptr);
    FTPReply reply;
    try {
        reply = AwaitReplies(connection, abort, timeouts);
    } catch (int error) {
        throw EndAfterFailure(error);
    } catch (...) {
        EndAfterFailure(0);
        throw;
    }
    if (reply.code / 100 != 2) m_transfer->abort.Set();  // nothing more will come
    if (StopWorker()) return FTPReply{10060, L""};       // the server never closed the data connection
    // The server's 226 says what it sent, not what arrived: a listing cut short is not the folder.
    if (reply.code / 100 == 2 && m_transfer->error != 0) throw m_transfer->error;
    return reply;
}

FTPReply CFTPCommandList::AwaitReplies(CFTPControlConnection& connection, platform::Event& abort,
                                       const FTPTimeouts& timeouts) {
    connection.SendCommand(CommandText(), platform::FromAnsi(LoggedText(), connection.SendPage()), abort,
                           timeouts.send);
    FTPReply reply = connection.ReadNextReply(abort, timeouts.receive);
    m_transfer->preliminary = reply.code / 100 == 1;
    m_transfer->goAhead.Set();
    // Past the 150 (or 125), to the 226.
    while (reply.code / 100 == 1) reply = connection.ReadNextReply(abort, timeouts.receive);
    return reply;
}

int CFTPCommandList::EndAfterFailure(int error) {
    m_transfer->abort.Set();
    m_transfer->goAhead.Set();
    if (StopWorker()) return error;  // abandoned: its error cannot be read safely
    // A wait that the receiving thread ended reports the thread's own error.
    return error == platform::kErrorAborted && m_transfer->error != 0 ? m_transfer->error : error;
}

void CFTPCommandList::ThreadProc(void*) {
    const std::shared_ptr<Transfer> transfer = m_transfer;  // our only use of the command
    try {
        Receive(*transfer);
    } catch (...) {
        transfer->error = CurrentExceptionCode();
        transfer->abort.Set();  // the control side must not wait for a reply that depends on us
    }
}

void CFTPCommandList::Receive(Transfer& transfer) {
    CFTPStream data(platform::ConnectTcp(transfer.dataAddress, transfer.abort, transfer.connectTimeout));
    if (transfer.tls) {
        transfer.goAhead.Wait(platform::kInfinite);  // the control side sets it on every path
        // A refused command, or a stop: nothing will come. A server that answered 2xx at once
        // never takes up the handshake.
        if (transfer.abort.IsSet()) return;
        if (!transfer.preliminary) throw platform::kErrorUnexpectedReply;
        data.Secure(*transfer.tls, transfer.abort, transfer.handshakeTimeout);
        WriteTrace([&] { return L"Data connection: " + SecurityFacts(*data.Tls()); });
    }
    std::array<char, 16384> chunk;
    std::string& received = transfer.received;
    for (;;) {
        const std::size_t n = data.Receive(chunk, transfer.abort, platform::kInfinite);
        if (n == 0) break;
        if (n > transfer.limit - received.size()) throw platform::kErrorMessageTooLong;
        // Doubling, but never past the bound: a listing near it costs no more than its size.
        if (received.size() + n > received.capacity())
            received.reserve(std::min(transfer.limit, std::max(received.size() + n, 2 * received.capacity())));
        received.append(chunk.data(), n);
    }
    if (!data.EndedByCloseAlert()) throw platform::kErrorTlsTruncated;
    data.Close(transfer.abort, transfer.connectTimeout);  // answers the close alert
}

std::string CFTPCommandList::Listing() const {
    const std::string& received = m_transfer->received;
    return received.substr(0, received.find('\0'));
}
