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
// ends (995) instead of running into its time-out.
class CFTPCommandList : public CFTPCommand, public CThreadDriver {
public:
    static constexpr platform::Millis kStopTimeout{60000};

    // `text` is the whole command: "LIST" or "NLST".
    CFTPCommandList(platform::Endpoint dataAddress, std::string_view text, platform::Event abort);
    ~CFTPCommandList() override;

    FTPReply Execute(CFTPControlConnection& connection, platform::Event& abort,
                     const FTPTimeouts& timeouts) override;

    // What arrived on the data connection, up to its first NUL; read after Execute.
    std::string Listing() const;

protected:
    void ThreadProc(void* item) override;

private:
    // Shared with the thread, which a stop that runs out of time leaves to finish on its own.
    struct Transfer {
        platform::Endpoint dataAddress;
        platform::Event abort;
        platform::Millis connectTimeout{30000};
        std::string received;  // grows geometrically: a long listing is not copied per receive
    };
    std::shared_ptr<Transfer> m_transfer;
};
