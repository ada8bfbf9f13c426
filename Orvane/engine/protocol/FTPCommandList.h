#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/FTPCommand.h"
#include "Orvane/engine/tasks/ThreadDriver.h"
#include "platform/Socket.h"

// LIST or NLST with its receiving thread: the thread connects to the data address and collects
// everything the server sends until it closes the data connection, while the control side waits
// for the final reply. A data connection that fails signals the abort event, so the control wait
// ends instead of running into its time-out. Only a listing that arrived whole is a success:
// when the data connection failed, Execute throws its error (also after a 2xx reply), and a
// listing longer than the bound ends with 10040.
class CFTPCommandList : public CFTPCommand, public CThreadDriver {
public:
    static constexpr platform::Millis kStopTimeout{60000};
    // The server decides how long a listing streams; the folder browser has no use for more.
    static constexpr std::size_t kListingLimit = std::size_t{64} << 20;

    // `text` is the whole command: "LIST" or "NLST". `limit` is for tests; users get the default.
    CFTPCommandList(platform::Endpoint dataAddress, std::string_view text, platform::Event abort,
                    std::size_t limit = kListingLimit);
    ~CFTPCommandList() override;

    FTPReply Execute(CFTPControlConnection& connection, platform::Event& abort,
                     const FTPTimeouts& timeouts) override;

    // What arrived on the data connection, up to its first NUL; read after Execute.
    std::string Listing() const;

protected:
    void ThreadProc(void* item) override;

private:
    // Sets the abort event and waits for the thread; the error to report for `error`, which
    // was thrown on the control side (0 for an exception of another kind).
    int EndAfterFailure(int error);

    // Shared with the thread, which a stop that runs out of time leaves to finish on its own.
    struct Transfer {
        platform::Endpoint dataAddress;
        platform::Event abort;
        std::size_t limit;
        platform::Millis connectTimeout{30000};
        std::string received;  // grows geometrically: a long listing is not copied per receive
        int error = 0;         // what ended the data connection early; read once the thread is joined
    };
    std::shared_ptr<Transfer> m_transfer;
};
