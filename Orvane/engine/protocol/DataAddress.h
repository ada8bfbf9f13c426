#pragma once
#include "Orvane/engine/protocol/FTPControlConnection.h"
#include "platform/Socket.h"

// Where the data connection goes for a 227 reply: the control connection's peer with the
// reply's port. A server behind NAT names a private address that cannot be reached, and a
// hostile one could aim us at another machine, so an address that differs from the peer's is
// replaced (and the trace says so). Throws int 11004 for an unreadable reply.
platform::Endpoint DataAddressFor(const CFTPControlConnection& connection, const std::wstring& passiveReply);
