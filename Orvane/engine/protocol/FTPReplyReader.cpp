#include "Orvane/engine/protocol/FTPReplyReader.h"

#include "platform/TextCodec.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool OpensMultiLine(std::string_view line) {
    return line.size() >= 4 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) &&
           line[3] == '-';
}

// The closing line repeats the opening code and follows it with a space; some servers end the
// line right after the code, which closes the reply as well.
bool ClosesMultiLine(std::string_view line, std::string_view code) {
    if (line.size() < 4 || line.substr(0, 3) != code) return false;
    return line[3] == ' ' || line[3] == '\r' || line[3] == '\n';
}

// The start of the last line of a complete reply (which ends with LF).
std::size_t LastLineStart(std::string_view reply) {
    if (reply.size() < 2) return 0;
    std::size_t lf = reply.rfind('\n', reply.size() - 2);
    return lf == std::string_view::npos ? 0 : lf + 1;
}

}  // namespace

CFTPReplyReader::Status CFTPReplyReader::Next(std::string& reply) {
    const std::string_view buffer = m_buffer;
    for (;;) {
        std::size_t lf = buffer.find('\n', m_searchFrom);
        if (lf == std::string_view::npos) {
            m_searchFrom = buffer.size();
            // Whatever completes the reply would make it longer than the limit.
            return buffer.size() >= kMaxReplyBytes ? Status::TooLong : Status::NeedMore;
        }
        const std::size_t lineEnd = lf + 1;
        const std::string_view line = buffer.substr(m_lineStart, lineEnd - m_lineStart);
        bool complete;
        if (m_lineStart == 0) {
            m_multiLine = OpensMultiLine(line);
            if (m_multiLine) line.copy(m_code, 3);
            complete = !m_multiLine;
        } else {
            complete = ClosesMultiLine(line, std::string_view(m_code, 3));
        }
        if (!complete) {
            m_lineStart = m_searchFrom = lineEnd;
            continue;
        }
        if (lineEnd > kMaxReplyBytes) return Status::TooLong;
        reply.assign(buffer.substr(0, lineEnd));
        m_buffer.erase(0, lineEnd);
        m_lineStart = m_searchFrom = 0;
        m_multiLine = false;
        return Status::Complete;
    }
}

std::string CFTPReplyReader::TakePending() {
    std::string pending;
    pending.swap(m_buffer);
    m_lineStart = m_searchFrom = 0;
    m_multiLine = false;
    return pending;
}

int ReplyCode(std::string_view line) {
    const std::string_view field = line.substr(0, 3);
    std::size_t at = 0;
    while (at < field.size() && (field[at] == ' ' || (field[at] >= '\t' && field[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < field.size() && (field[at] == '+' || field[at] == '-')) negative = field[at++] == '-';
    int value = 0;
    for (; at < field.size() && IsDigit(field[at]); ++at) value = value * 10 + (field[at] - '0');
    return negative ? -value : value;
}

FTPReply ParseReply(std::string_view reply, platform::CodePage page) {
    const std::string_view last = reply.substr(LastLineStart(reply));
    return FTPReply{ReplyCode(last), platform::FromAnsi(last, page)};
}

FTPReply ParseGreeting(std::string_view reply, platform::CodePage page) {
    return FTPReply{ReplyCode(reply), platform::FromAnsi(reply, page)};
}
