#pragma once
#include <string>

// A server reply: the code and the text of its last line (with its CR LF). The command
// sequences throw it for replies of class 4 and 5. A task starts with {200, ""}.
struct FTPReply {
    int code = 200;
    std::wstring text;
};

// RFC 959: the service is not available and the server is closing the control connection, so
// whatever was to follow cannot be sent any more.
inline constexpr int kReplyClosing = 421;
