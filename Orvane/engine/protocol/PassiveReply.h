#pragma once
#include <string>

#include "platform/Socket.h"

// The data address of a 227 reply to PASV: the six numbers h1,h2,h3,h4,p1,p2 that follow its
// first "(" (RFC 959, 4.1.2), or, in a reply without one, its first digit after the reply code
// (RFC 1123, 4.1.2.6), give the address h1.h2.h3.h4 and the port p1 * 256 + p2. Each number may
// carry white space before it and a sign, as "%d" would read it; text after the sixth is
// ignored. The address is returned as the server wrote it: whether to trust it is the caller's
// decision. Pure; throws int 11004 (platform::kErrorNoData) when fewer than six numbers are
// there or one lies outside 0..255.
platform::Endpoint ParsePassiveReply(const std::wstring& text);
