#pragma once
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/FTPControlConnection.h"
#include "Orvane/engine/protocol/FTPReply.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "platform/Event.h"

// One exchange on the control connection: a ready-made command line (8-bit text with its
// CR LF) that is sent, and the final reply that is read back. Judging the reply is the
// sequence's job: Execute returns replies of every class and throws only int error codes.
class CFTPCommand {
public:
    // The caller's text and CR LF ("QUIT", "PASV", "TYPE I" ...). Throws 87 for CR, LF or NUL.
    explicit CFTPCommand(std::string_view text) : CFTPCommand(text, {}, {}) {}
    virtual ~CFTPCommand() = default;
    CFTPCommand(const CFTPCommand&) = delete;
    CFTPCommand& operator=(const CFTPCommand&) = delete;

    virtual FTPReply Execute(CFTPControlConnection& connection, platform::Event& abort,
                             const FTPTimeouts& timeouts);

    const std::string& CommandText() const { return m_commandText; }
    // What the transcript and the trace show: the command text, with secrets masked.
    const std::string& LoggedText() const { return m_loggedText; }

protected:
    CFTPCommand() = default;  // a command that sends nothing
    // `prefix` + `argument` + CR LF. An argument holding CR, LF or NUL would put further commands
    // on the wire, so it is refused with 87 before anything is sent. A non-empty `logged`
    // replaces the text in the transcript and the trace.
    CFTPCommand(std::string_view prefix, std::string_view argument, std::string_view logged);

private:
    std::string m_commandText;
    std::string m_loggedText;
};

// Throws 87 (invalid parameter) when `argument` holds CR, LF or NUL.
void RequireSafeArgument(std::string_view argument);

// Reads the server's greeting; sends nothing.
class CFTPCommandWelcomeReply : public CFTPCommand {
public:
    CFTPCommandWelcomeReply() = default;
    FTPReply Execute(CFTPControlConnection& connection, platform::Event& abort,
                     const FTPTimeouts& timeouts) override;
};

// FEAT (RFC 2389). The features are the lines of the reply, not its last line, so the whole
// reply is kept.
class CFTPCommandFeatures : public CFTPCommand {
public:
    CFTPCommandFeatures() : CFTPCommand("FEAT") {}
    FTPReply Execute(CFTPControlConnection& connection, platform::Event& abort,
                     const FTPTimeouts& timeouts) override;
    const std::string& WholeReply() const { return m_wholeReply; }

private:
    std::string m_wholeReply;
};

class CFTPCommandUser : public CFTPCommand {
public:
    explicit CFTPCommandUser(std::string_view name) : CFTPCommand("USER ", name, {}) {}
};

// The password (or one-time response) never reaches the transcript or the trace.
class CFTPCommandPassword : public CFTPCommand {
public:
    explicit CFTPCommandPassword(std::string_view password)
        : CFTPCommand("PASS ", password, "PASS ****\r\n") {}
};

class CFTPCommandChangeDirectory : public CFTPCommand {
public:
    explicit CFTPCommandChangeDirectory(std::string_view folder) : CFTPCommand("CWD ", folder, {}) {}
};

class CFTPCommandCreateDirectory : public CFTPCommand {
public:
    explicit CFTPCommandCreateDirectory(std::string_view folder) : CFTPCommand("MKD ", folder, {}) {}
};

class CFTPCommandSize : public CFTPCommand {
public:
    explicit CFTPCommandSize(std::string_view name) : CFTPCommand("SIZE ", name, {}) {}
};

class CFTPCommandRenameFrom : public CFTPCommand {
public:
    explicit CFTPCommandRenameFrom(std::string_view name) : CFTPCommand("RNFR ", name, {}) {}
};

class CFTPCommandRenameTo : public CFTPCommand {
public:
    explicit CFTPCommandRenameTo(std::string_view name) : CFTPCommand("RNTO ", name, {}) {}
};
