#include "Orvane/engine/protocol/FTPCommandList.h"

#include <array>

CFTPCommandList::CFTPCommandList(platform::Endpoint dataAddress, std::string_view text, platform::Event abort)
    : CFTPCommand(text), CThreadDriver(kStopTimeout),
      m_transfer(std::make_shared<Transfer>(Transfer{dataAddress, std::move(abort), {}, {}})) {}

CFTPCommandList::~CFTPCommandList() { StopWorker(); }

FTPReply CFTPCommandList::Execute(CFTPControlConnection& connection, platform::Event& abort,
                                  const FTPTimeouts& timeouts) {
    m_transfer->connectTimeout = timeouts.send;
    QueueItem(nullptr);
    FTPReply reply;
    try {
        reply = CFTPCommand::Execute(connection, abort, timeouts);  // past the 150, to the 226
    } catch (int) {
        m_transfer->abort.Set();
        StopWorker();
        throw;
    }
    if (reply.code / 100 != 2) m_transfer->abort.Set();  // nothing more will come
    if (StopWorker()) return FTPReply{10060, L""};       // the server never closed the data connection
    return reply;
}

void CFTPCommandList::ThreadProc(void*) {
    const std::shared_ptr<Transfer> transfer = m_transfer;  // our only use of the command
    try {
        platform::Socket data = platform::ConnectTcp(transfer->dataAddress, transfer->abort, transfer->connectTimeout);
        std::array<char, 16384> chunk;
        for (;;) {
            const std::size_t n = platform::Receive(data, chunk, transfer->abort, platform::kInfinite);
            if (n == 0) break;
            transfer->received.append(chunk.data(), n);
        }
    } catch (int) {
        transfer->abort.Set();  // the control side must not wait for a reply that depends on us
    }
}

std::string CFTPCommandList::Listing() const {
    const std::string& received = m_transfer->received;
    return received.substr(0, received.find('\0'));
}
