#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/FTPCommand.h"
#include "Orvane/engine/protocol/FTPStream.h"
#include "Orvane/engine/tasks/ThreadDriver.h"
#include "platform/Socket.h"
#include "platform/Tls.h"
#include "platform/Window.h"

// STOR with its transfer thread: the thread connects to the data address, sends the local file
// in chunks of 8192 bytes and reports each chunk to the progress window, while the control side
// waits for the replies.
//
// The final reply is awaited from the end of the transfer, so a file may take any time to send.
// A local file that cannot be opened or read, or a data connection that cannot be made, ends the
// command at once with that error: the thread signals the abort event, and the data connection
// is reset so that the server does not record a partial or empty file as complete. A send that
// fails (a reset, a server that stopped reading) ends the command with the send's error,
// whatever the server answers: its 226 would only say that it stored what arrived. Stop (the
// abort event) takes effect within kAbortPollBytes.
//
// With `tls` (PROT P, RFC 4217) the data connection runs TLS: its handshake starts only after the
// server's 1xx to STOR, since the server takes it up only then, and the file ends with the close
// alert, so that the server knows it arrived whole.
class CFTPCommandSTOR : public CFTPCommand, public CThreadDriver {
public:
    static constexpr std::size_t kChunkSize = 8192;
    // Over TLS each send is a record of its own, and a server pays per record (vsftpd takes
    // 8 KiB records at two thirds of the rate of full ones): a chunk is four full records there.
    static constexpr std::size_t kTlsChunkSize = 4 * 16384;
    // Looking at the event costs about as much as a chunk's send under Wine, so the transfer
    // looks only every 128 KiB. On a slow line the sends wait, and those waits see the abort at
    // once.
    static constexpr std::size_t kAbortPollBytes = 128 * 1024;

    // With `offset`, the transfer sends the local file from that byte on (after a REST).
    CFTPCommandSTOR(std::wstring localPath, std::string_view remoteName, platform::WindowRef progressWindow,
                    platform::Endpoint dataAddress, platform::Event abort,
                    std::optional<platform::TlsCredentials> tls = std::nullopt, std::uint64_t offset = 0);
    ~CFTPCommandSTOR() override;

    FTPReply Execute(CFTPControlConnection& connection, platform::Event& abort,
                     const FTPTimeouts& timeouts) override;

protected:
    void ThreadProc(void* item) override;
    void DiscardItem(void* item) override;

private:
    // Runs the data connection's handshake once the server is ready for it; false when the
    // transfer is off (refused, or stopped). Throws int.
    bool Secure(CFTPStream& data);
    void SendFile(CFTPStream& data);
    // Reports `bytes` to the progress window; zeroes them once the report is posted.
    void PostProgress(std::size_t& bytes) const;
    // From the transfer thread: ends the control side's wait too.
    void Fail(int error) noexcept;
    // Lets the transfer thread go (with the abort set, so that it sends no more) and waits for
    // it; for every way out of Execute by an exception.
    void AbandonTransfer();

    const std::wstring m_localPath;
    const platform::WindowRef m_progressWindow;
    const platform::Endpoint m_dataAddress;
    const std::uint64_t m_offset;
    platform::Event m_abort;
    const std::optional<platform::TlsCredentials> m_tls;
    // Set once the server has answered STOR (or the command has given up): data sent or closed
    // before the server has seen STOR can be taken for another transfer, and an empty file then
    // never arrives.
    platform::Event m_goAhead{platform::EventReset::Manual};
    platform::Event m_transferDone{platform::EventReset::Manual};
    platform::Millis m_sendTimeout{30000};
    platform::Millis m_handshakeTimeout{60000};
    bool m_preliminary = false;  // the server answered STOR with 1xx; written before m_goAhead is set
    int m_transferError = 0;  // written by the thread before m_transferDone is set
};
