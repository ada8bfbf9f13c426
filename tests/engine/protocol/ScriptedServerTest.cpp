#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceCreateDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceFeatures.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPCommandSequenceOpenDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"
#include "Orvane/engine/protocol/FTPCommandSequenceRenameDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"
#include "tests/engine/protocol/ProtocolTestSupport.h"
#include "tests/support/FakeFtpServer.h"

namespace {

using namespace protocoltest;
using platform::Event;
using platform::EventReset;
using Lines = std::vector<std::string>;

// A scripted server, a connection to it, and the task's transcript. Tables give each case a
// connection of its own (the script's Accept()); the first Accept() ends the one Open() makes.
class ScriptedServer : public ::testing::Test {
protected:
    void TearDown() override {
        m_connection.Close();
        m_server.Finish();
        EXPECT_EQ(m_server.Failures(), Lines());
    }

    void Open(bool readGreeting = true) {
        m_server.Start();
        Reconnect(readGreeting);
    }
    void Reconnect(bool readGreeting = true) {
        m_connection.Close();
        m_connection = Connect(m_server.Port(), m_abort);
        if (readGreeting) m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    }
    // The command lines the server received, once the client is gone.
    Lines Received() {
        m_connection.Close();
        m_server.Finish();
        return m_server.Received();
    }
    template <class Sequence>
    Sequence Make() {
        return Sequence(m_connection, m_abort, m_transcript, kTimeouts);
    }
    FTPReply Thrown(const std::function<void()>& call) {
        try {
            call();
        } catch (const FTPReply& reply) {
            return reply;
        }
        ADD_FAILURE() << "no reply was thrown";
        return {};
    }

    testsupport::FakeFtpServer m_server;
    Event m_abort{EventReset::Manual};
    CFTPControlConnection m_connection;
    std::vector<std::wstring> m_transcript;
};

// A reply is read until its closing line, not until the network pauses; what follows it waits
// for the next read, and what a closing server leaves unfinished is the text of a reply of code 0.
TEST_F(ScriptedServer, FramesRepliesHoweverTheStreamIsCut) {
    struct Case {
        const char* name;
        std::string stream;
        Lines replies;
        std::string rest;
    };
    const std::vector<Case> cases = {
        {"multi-line, then bytes past it", "230-Welcome\r\n230-more\r\n230 done\r\n331 pa",
         {"230-Welcome\r\n230-more\r\n230 done\r\n"}, "331 pa"},
        {"inner lines with other codes or none", "211-Features\r\n MDTM\r\n220 not the end\r\n211 End\r\n",
         {"211-Features\r\n MDTM\r\n220 not the end\r\n211 End\r\n"}, ""},
        {"closing line that is only the code", "250-a\r\n250\r\n", {"250-a\r\n250\r\n"}, ""},
        {"bare LF line ends", "220-hi\n220 there\n331 pass\n", {"220-hi\n220 there\n", "331 pass\n"}, ""},
        {"closed before any reply", "", {}, ""},
        {"CR alone ends nothing", "220 a\r220 b\r", {}, "220 a\r220 b\r"},
        {"lines without a code, or short", "hello\r\n22\r\n", {"hello\r\n", "22\r\n"}, ""},
        {"preliminary replies are read past", "150 Opening\r\n125-Still\r\n125 going\r\n226 done\r\n",
         {"226 done\r\n"}, ""},
    };
    const std::size_t pieces[] = {1, 0};  // a byte per segment, or all at once
    for (const Case& c : cases)
        for (std::size_t piece : pieces) m_server.Accept().Send(c.stream, piece).Close();
    Open(false);
    for (const Case& c : cases) {
        for (std::size_t piece : pieces) {
            SCOPED_TRACE(std::string(c.name) + (piece ? ", a byte per segment" : ", at once"));
            Reconnect(false);
            Lines replies;
            for (;;) {
                std::string whole;
                const FTPReply reply = m_connection.ReadReply(m_abort, kTimeouts.receive, &whole);
                if (whole.empty()) {
                    EXPECT_EQ(reply.code, 0);
                    EXPECT_EQ(reply.text, platform::FromAnsi(c.rest));
                    break;
                }
                replies.push_back(whole);
            }
            EXPECT_EQ(replies, c.replies);
        }
    }
}

// A preliminary greeting is a reply of its own (RFC 959, 4.2); a hostile server must not make
// the client buffer without end.
TEST_F(ScriptedServer, GreetingEndsAtItsFirstReplyAndWithin64KiB) {
    std::string lines = "220-";
    while (lines.size() < 70 * 1024) lines += "filler filler filler filler filler filler filler\r\n220-";
    const std::pair<std::string, int> cases[] = {{"120 Ready in 5 minutes\r\n220 ready\r\n", 0},
                                                 {lines, platform::kErrorUnexpectedReply},
                                                 {std::string(70 * 1024, 'x'), platform::kErrorUnexpectedReply}};
    for (const auto& [greeting, error] : cases) m_server.Accept().Send(greeting);
    Open(false);
    for (const auto& [greeting, error] : cases) {
        SCOPED_TRACE(greeting.substr(0, 8));
        Reconnect(false);
        int code = 0;
        EXPECT_EQ(ErrorOf([&] { code = m_connection.ReadGreeting(m_abort, kTimeouts.receive).code; }), error);
        EXPECT_EQ(code, error ? 0 : 120);
    }
}

TEST_F(ScriptedServer, LoginAnswersWhatTheGreetingAndUserReplyAskFor) {
    struct Case {
        const char* name;
        const char* greeting;
        const char* userReply;  // null when USER must not be sent
        const char* pass;       // the PASS argument expected, null when PASS must not be sent
        int code;               // of the reply returned (230) or thrown
    };
    const Case cases[] = {
        {"plain, greeting of many lines", "220-Hello\r\n220 ready\r\n", "331 Password please\r\n", "This is a test.", 230},
        // vsftpd with no_anon_password: PASS would get 503
        {"USER alone completes it", "220 ready\r\n", "230 Login successful.\r\n", nullptr, 230},
        {"one-time password (RFC 2289)", "220 ready\r\n", "331 Response to otp-md5 99 TeSt required.\r\n",
         "BAIL TUFT BITS GANG CHEF THY", 230},
        {"refused greeting", "421 Too many users\r\n", nullptr, nullptr, 421},
    };
    // A command the script does not expect is a failure of the script; one sent where none is
    // expected waits for a reply that never comes.
    for (const Case& c : cases) {
        m_server.Accept().Send(c.greeting);
        if (c.userReply) m_server.On("USER bob", c.userReply);
        if (c.pass) m_server.On(std::string("PASS ") + c.pass, "230 in\r\n");
    }
    Open(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reconnect(false);
        const auto login = [&] { return Make<CFTPCommandSequenceLogin>().Run("bob", "This is a test."); };
        EXPECT_EQ(c.code == 230 ? login().code : Thrown(login).code, c.code);
        if (&c == cases) {  // the whole greeting, the password masked
            EXPECT_EQ(m_transcript, (std::vector<std::wstring>{L"", L"220-Hello\r\n220 ready\r\n", L"USER bob\r\n",
                                                               L"331 Password please\r\n", L"PASS ****\r\n", L"230 in\r\n"}));
        }
    }
}

TEST_F(ScriptedServer, FeaturesDecideTheWireEncodingAndAClosingServerEndsThem) {
    struct Case {
        const char* name;
        const char* feat;
        const char* opts;  // the reply to "OPTS UTF8 ON", null when it must not be sent
        bool utf8;
        int thrown;  // the code of the reply thrown, 0 for none
    };
    const Case cases[] = {
        {"UTF8 offered, OPTS refused", "211-Extensions supported:\r\n UTF8\r\n211 End.\r\n", "504 Unknown\r\n", true, 0},
        {"utf8 in lower case, bare LF, blanks before it", "211-Features\n \t  utf8\n211 End\n", "200 OK\r\n", true, 0},
        {"UTF8 only where no feature is", "211-Features (UTF8):\r\nUTF8\r\n211-UTF8\r\n SIZE\r\n211 End UTF8\r\n", nullptr, false, 0},
        {"FEAT unknown", "500 Unknown command\r\n", nullptr, false, 0},
        {"FEAT refused in many lines", "502- UTF8\r\n UTF8\r\n502 End\r\n", nullptr, false, 0},
        {"closing at FEAT", "421 Service closing\r\n", nullptr, false, 421},
        {"closing at OPTS", "211-Features:\r\n UTF8\r\n211 End\r\n", "421 Timeout\r\n", false, 421},
    };
    for (const Case& c : cases) {
        m_server.Accept().Send("220 ready\r\n").On("FEAT", c.feat);
        if (c.opts) m_server.On("OPTS UTF8 ON", c.opts);
        if (!c.thrown) m_server.On("NOOP", "200 next\r\n");
    }
    Open(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reconnect();
        const auto features = [&] { Make<CFTPCommandSequenceFeatures>().Run(); };
        if (c.thrown) {
            EXPECT_EQ(Thrown(features).code, c.thrown);
            continue;
        }
        features();
        EXPECT_EQ(m_connection.UsesUtf8(), c.utf8);
        CFTPCommand noop("NOOP");  // the script goes on in step: nothing more was sent
        EXPECT_EQ(noop.Execute(m_connection, m_abort, kTimeouts).code, 200);
    }
}

TEST_F(ScriptedServer, LineBreaksOrNulInArgumentsFailWith87BeforeAnythingIsSentAndQuitNeverFails) {
    m_server.Send("220 ready\r\n");
    Open(false);
    const std::string nul("a\0DELE x", 8);
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"user name", [&] { Make<CFTPCommandSequenceLogin>().Run("bob\r\nDELE x", "x"); }},
        {"password with NUL", [&] { Make<CFTPCommandSequenceLogin>().Run("bob", nul); }},
        {"folder", [&] { Make<CFTPCommandSequenceChangeDir>().Run("up\rDELE x"); }},
        {"path to open, late component", [&] { Make<CFTPCommandSequenceOpenDir>().Run("a\\b\\c\nDELE x"); }},
        {"path to create", [&] { Make<CFTPCommandSequenceCreateDir>().Run(nul); }},
        {"old name", [&] { Make<CFTPCommandSequenceRenameDir>().Run("a\r\nDELE x", "b"); }},
        {"new name", [&] { Make<CFTPCommandSequenceRenameDir>().Run("a", "b\nDELE x"); }},
    };
    for (const auto& [name, run] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ErrorOf(run), platform::kErrorInvalidParameter);
    }
    // QUIT never fails: where no connection was opened (sending nothing), and after an abort.
    CFTPControlConnection neverOpened;
    EXPECT_EQ(CFTPCommandSequenceQuit(neverOpened, m_abort, m_transcript).Run().code, 200);
    EXPECT_EQ(m_transcript, std::vector<std::wstring>());
    m_abort.Set();
    EXPECT_EQ(Make<CFTPCommandSequenceQuit>().Run().code, 200);
    EXPECT_EQ(Received(), Lines{"QUIT"}) << "nothing before it went out, not even USER";
}

// OpenDir makes what is missing (a refused MKD is no failure) and enters every component. A server
// that closes at MKD must end the sequence with its reply: otherwise the CWD that follows reads a
// closed connection and the task fails with error 6. A reply of no expected class is error 6.
TEST_F(ScriptedServer, FolderSequencesEnterWhatTheyMadeAndEndWithTheRefusingReply) {
    m_server.Send("220 ready\r\n")
        .On("MKD a", "550 Exists\r\n").On("CWD a", "250 ok\r\n")
        .On("MKD b", "257 Created\r\n").On("CWD b", "250 in b\r\n")
        .On("MKD locked", "550 Permission denied\r\n").On("CWD locked", "550 No caf\xe9 here\r\n")
        .On("MKD c", "421 Timeout.\r\n")
        .On("MKD d", "421 Shutting down.\r\n");
    const char* noClass[] = {"099 Too low\r\n", "600 Class six\r\n", "Hello\r\n"};
    for (const char* reply : noClass) m_server.On("TYPE I", reply);
    Open();
    for (const char* path : {"", "\\", "\\\\"}) {
        SCOPED_TRACE(path);
        const FTPReply reply = Make<CFTPCommandSequenceOpenDir>().Run(path);
        EXPECT_EQ(reply.code, 200) << "nothing to open, nothing sent";
        EXPECT_EQ(reply.text, L"");
    }
    EXPECT_EQ(Make<CFTPCommandSequenceOpenDir>().Run("\\a\\\\b\\").text, L"250 in b\r\n");
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceOpenDir>().Run("locked\\deeper"); }).text, L"550 No caf\u00e9 here\r\n")
        << "read in the ANSI code page";
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceOpenDir>().Run("c\\x"); }).text, L"421 Timeout.\r\n");
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceCreateDir>().Run("d\\x"); }).text, L"421 Shutting down.\r\n");
    for (const char* reply : noClass) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(ErrorOf([&] { Make<CFTPCommandSequenceTypeI>().Run(); }), platform::kErrorUnexpectedReply);
        EXPECT_EQ(m_transcript.back(), platform::FromAnsi(reply)) << "the reply is in the transcript";
    }
    EXPECT_EQ(Received(), (Lines{"MKD a", "CWD a", "MKD b", "CWD b", "MKD locked", "CWD locked", "MKD c", "MKD d",
                                 "TYPE I", "TYPE I", "TYPE I"}));
}

}  // namespace
