#include "Orvane/engine/protocol/FTPCommandList.h"

#include <algorithm>
#include <array>

#include "Orvane/engine/tasks/ExceptionCode.h"
#include "platform/ErrorCodes.h"

CFTPCommandList::CFTPCommandList(platform::Endpoint dataAddress, std::string_view text, platform::Event abort,
                                 std::size_t limit)
    : CFTPCommand(text), CThreadDriver(kStopTimeout),
      m_transfer(std::make_shared<Transfer>(Transfer{dataAddress, std::move(abort), limit, {}, {}, 0})) {}

CFTPCommandList::~CFTPCommandList() { StopWorker(); }

FTPReply CFTPCommandList::Execute(CFTPControlConnection& connection, platform::Event& abort,
                                  const FTPTimeouts& timeouts) {
    m_transfer->connectTimeout = timeouts.send;
    QueueItem(nullptr);
    FTPReply reply;
    try {
        reply = CFTPCommand::Execute(connection, abort, timeouts);  // past the 150, to the 226
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

int CFTPCommandList::EndAfterFailure(int error) {
    m_transfer->abort.Set();
    if (StopWorker()) return error;  // abandoned: its error cannot be read safely
    // A wait that the receiving thread ended reports the thread's own error.
    return error == platform::kErrorAborted && m_transfer->error != 0 ? m_transfer->error : error;
}

void CFTPCommandList::ThreadProc(void*) {
    const std::shared_ptr<Transfer> transfer = m_transfer;  // our only use of the command
    try {
        platform::Socket data = platform::ConnectTcp(transfer->dataAddress, transfer->abort, transfer->connectTimeout);
        std::array<char, 16384> chunk;
        std::string& received = transfer->received;
        for (;;) {
            const std::size_t n = platform::Receive(data, chunk, transfer->abort, platform::kInfinite);
            if (n == 0) break;
            if (n > transfer->limit - received.size()) throw platform::kErrorMessageTooLong;
            // Doubling, but never past the bound: a listing near it costs no more than its size.
            if (received.size() + n > received.capacity())
                received.reserve(std::min(transfer->limit, std::max(received.size() + n, 2 * received.capacity())));
            received.append(chunk.data(), n);
        }
    } catch (...) {
        transfer->error = CurrentExceptionCode();
        transfer->abort.Set();  // the control side must not wait for a reply that depends on us
    }
}

std::string CFTPCommandList::Listing() const {
    const std::string& received = m_transfer->received;
    return received.substr(0, received.find('\0'));
}
