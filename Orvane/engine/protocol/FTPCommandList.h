#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/FTPCommand.h"
#include "Orvane/engine/tasks/ThreadDriver.h"
#include "platform/Socket.h"
#include "platform/Tls.h"

// LIST or NLST with its receiving thread: the thread connects to the data address and collects
// everything the server sends until it closes the data connection, while the control side waits
// for the final reply. A data connection that fails signals the abort event, so the control wait
// ends instead of running into its time-out. Only a listing that arrived whole is a success:
// when the data connection failed, Execute throws its error (also after a 2xx reply), and a
// listing longer than the bound ends with 10040.
//
// With `tls` (PROT P, RFC 4217) the data connection runs TLS, handshaking after the server's 1xx
// (it takes the handshake up only then), and the listing is whole only when it ends with the
// server's close alert: an end without one may be a cut (kErrorTlsTruncated).
class CFTPCommandList : public CFTPCommand, public CThreadDriver {
public:
    static constexpr platform::Millis kStopTimeout{60000};
    // The server decides how long a listing streams; the folder browser has no use for more.
    static constexpr std::size_t kListingLimit = std::size_t{64} << 20;

    // `text` is the whole command: "LIST" or "NLST". `limit` is for tests; users get the default.
    CFTPCommandList(platform::Endpoint dataAddress, std::string_view text, platform::Event abort,
                    std::optional<platform::TlsCredentials> tls = std::nullopt, std::size_t limit = kListingLimit);
    ~CFTPCommandList() override;

    FTPReply Execute(CFTPControlConnection& connection, platform::Event& abort,
                     const FTPTimeouts& timeouts) override;

    // What arrived on the data connection, up to its first NUL; read after Execute.
    std::string Listing() const;

protected:
    void ThreadProc(void* item) override;

private:
    struct Transfer;

    // Sends the command and reads its replies, letting the thread go ahead at the first one.
    FTPReply AwaitReplies(CFTPControlConnection& connection, platform::Event& abort, const FTPTimeouts& timeouts);
    // Sets the abort event and waits for the thread; the error to report for `error`, which
    // was thrown on the control side (0 for an exception of another kind).
    int EndAfterFailure(int error);
    static void Receive(Transfer& transfer);

    // Shared with the thread, which a stop that runs out of time leaves to finish on its own.
    struct Transfer {
        Transfer(platform::Endpoint address, platform::Event abortEvent,
                 std::optional<platform::TlsCredentials> credentials, std::size_t bound)
            : dataAddress(address), abort(std::move(abortEvent)), tls(std::move(credentials)), limit(bound) {}

        platform::Endpoint dataAddress;
        platform::Event abort;
        std::optional<platform::TlsCredentials> tls;
        std::size_t limit;
        platform::Millis connectTimeout{30000};
        platform::Millis handshakeTimeout{60000};
        // Set once the server has answered the command (or the command has given up); a TLS
        // connection waits for it.
        platform::Event goAhead{platform::EventReset::Manual};
        bool preliminary = false;  // that answer was 1xx; written before goAhead is set
        std::string received;  // grows geometrically: a long listing is not copied per receive
        int error = 0;         // what ended the data connection early; read once the thread is joined
    };
    std::shared_ptr<Transfer> m_transfer;
};
