#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/FTPReply.h"
#include "platform/TextCodec.h"

// Cuts the byte stream of a control connection into replies as RFC 959 (4.2) frames them: one
// line "ddd text", or a multi-line reply that opens with "ddd-" and closes with the line that
// starts with the same code and a space. Lines end in CR LF; a bare LF is accepted too. Bytes
// past a complete reply stay for the next one. Knows nothing of sockets, so that it can be
// driven with any bytes at all.
class CFTPReplyReader {
public:
    // The largest reply accepted: a server that sends more without ending its reply is refused
    // rather than allowed to exhaust memory.
    static constexpr std::size_t kMaxReplyBytes = 64 * 1024;

    enum class Status { Complete, NeedMore, TooLong };

    void Append(std::string_view bytes) { m_buffer.append(bytes); }

    // Complete: `reply` receives the bytes of the next reply (up to and including its last LF),
    // and they leave the buffer. NeedMore: nothing changes but what has been scanned. TooLong:
    // the reply at the front already exceeds kMaxReplyBytes; the stream cannot be trusted further.
    Status Next(std::string& reply);

    // What has arrived and is not yet part of a returned reply.
    std::string_view Pending() const { return m_buffer; }
    // Takes the pending bytes, for a connection that closed in the middle of a reply.
    std::string TakePending();

private:
    std::string m_buffer;
    // Scan state of the reply at the front, so that a reply received a byte at a time is not
    // searched again from its start on every receive.
    std::size_t m_lineStart = 0;    // start of the first line not yet known to be complete
    std::size_t m_searchFrom = 0;   // where the search for that line's LF resumes
    bool m_multiLine = false;
    char m_code[3] = {};            // the code a multi-line reply must close with
};

// The code of a line: the decimal value of its first three characters, as a C library reads a
// number (leading white space, an optional sign, digits; 0 when there are none).
int ReplyCode(std::string_view line);

// A complete reply as a record: the code and the text of its last line, CR LF included, read in
// `page` (the connection's).
FTPReply ParseReply(std::string_view reply, platform::CodePage page = platform::CodePage::SystemAnsi);

// The greeting as a record: the code of its first line, and all of its text.
FTPReply ParseGreeting(std::string_view reply, platform::CodePage page = platform::CodePage::SystemAnsi);
