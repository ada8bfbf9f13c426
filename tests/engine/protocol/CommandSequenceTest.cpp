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
using testsupport::FakeFtpServer;

// A scripted server, a connection to it, and the task's transcript. The script is given
// first; Open() starts the server and connects.
class CommandSequences : public ::testing::Test {
protected:
    void TearDown() override {
        m_connection.Close();
        m_server.Finish();
        EXPECT_EQ(m_server.Failures(), Lines());
    }

    void Open() {
        m_server.Start();
        m_connection = Connect(m_server.Port(), m_abort);
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

    FakeFtpServer m_server;
    Event m_abort{EventReset::Manual};
    CFTPControlConnection m_connection;
    std::vector<std::wstring> m_transcript;
};

// ---- login -------------------------------------------------------------------------------------

TEST_F(CommandSequences, PlainLoginRecordsSixLinesWithThePasswordMasked) {
    m_server.Send("220 ready\r\n").On("USER bob", "331 Password please\r\n").On("PASS pa55 word", "230 Welcome\r\n");
    Open();
    const FTPReply reply = Make<CFTPCommandSequenceLogin>().Run("bob", "pa55 word");
    EXPECT_EQ(reply.code, 230);
    EXPECT_EQ(m_transcript, (std::vector<std::wstring>{L"", L"220 ready\r\n", L"USER bob\r\n",
                                                       L"331 Password please\r\n", L"PASS ****\r\n",
                                                       L"230 Welcome\r\n"}));
}

TEST_F(CommandSequences, LoginThatUserAlreadyCompletesSendsNoPass) {
    // vsftpd with no_anon_password answers USER anonymous with 230, and PASS then with 503.
    m_server.Send("220 ready\r\n").On("USER anonymous", "230 Login successful.\r\n");
    Open();
    const FTPReply reply = Make<CFTPCommandSequenceLogin>().Run("anonymous", "x");
    EXPECT_EQ(reply.code, 230);
    EXPECT_EQ(m_transcript.size(), 4u);
    EXPECT_EQ(Received(), Lines{"USER anonymous"});
}

TEST_F(CommandSequences, WrongPasswordIsThrownAsTheServersReply) {
    m_server.Send("220 ready\r\n").On("USER bob", "331 Password please\r\n").On("PASS wrong", "530 Login incorrect\r\n");
    Open();
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceLogin>().Run("bob", "wrong"); }).code, 530);
    EXPECT_EQ(m_transcript.size(), 6u);
}

TEST_F(CommandSequences, RefusedGreetingEndsTheLoginBeforeUser) {
    m_server.Send("421 Too many users\r\n");
    Open();
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceLogin>().Run("bob", "x"); }).code, 421);
    EXPECT_EQ(Received(), Lines());
}

TEST_F(CommandSequences, GreetingSplitAcrossSegmentsIsReadWhole) {
    m_server.Send("220-First line\r\n").Send("220 Second line\r\n", 3).On("USER bob", "331 ok\r\n").On("PASS x", "230 in\r\n");
    Open();
    EXPECT_EQ(Make<CFTPCommandSequenceLogin>().Run("bob", "x").code, 230);
    EXPECT_EQ(m_transcript.at(1), L"220-First line\r\n220 Second line\r\n");
}

TEST_F(CommandSequences, OneTimePasswordChallenges) {
    // Answers from RFC 2289 (appendix C) for the pass phrase "This is a test." and seed "TeSt".
    struct Case {
        const char* name;
        const char* challenge;
        const char* pass;
    };
    const Case cases[] = {
        {"lower case, count 0", "331 Response to otp-md5 0 TeSt required.\r\n", "INCH SEA ANNE LONG AHEM TOUR"},
        {"count 1, seed in capitals", "331 otp-md5 1 TEST ext\r\n", "EASE OIL FUM CURE AWRY AVIS"},
        {"count 99", "331 [otp-md5 99 test ext]\r\n", "BAIL TUFT BITS GANG CHEF THY"},
        {"seed at the end of the line", "331 Response to otp-md5 99 TeSt\r\n", "BAIL TUFT BITS GANG CHEF THY"},
        {"algorithm in capitals is not ours", "331 OTP-MD5 0 TeSt required\r\n", "This is a test."},
        {"another algorithm", "331 Response to otp-md4 0 TeSt required\r\n", "This is a test."},
        {"s/key", "331 s/key 99 TeSt\r\n", "This is a test."},
    };
    for (const Case& c : cases) m_server.Accept().Send("220 ready\r\n").On("USER bob", c.challenge).On(std::string("PASS ") + c.pass, "230 in\r\n");
    // Each case has a connection of its own; the first Accept() ends the one Open() makes.
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_connection.Close();
        m_connection = Connect(m_server.Port(), m_abort);
        EXPECT_EQ(Make<CFTPCommandSequenceLogin>().Run("bob", "This is a test.").code, 230);
        EXPECT_EQ(m_transcript.back(), L"230 in\r\n");
    }
}

// ---- the server's features --------------------------------------------------------------------

TEST_F(CommandSequences, FeaturesDecideTheWireEncoding) {
    struct Case {
        const char* name;
        const char* feat;
        const char* opts;  // the reply to "OPTS UTF8 ON", null when it must not be sent
        bool utf8;
    };
    const Case cases[] = {
        {"UTF8 offered and switched on", "211-Features:\r\n UTF8\r\n SIZE\r\n211 End\r\n", "200 UTF8 set to on\r\n", true},
        {"UTF8 offered, OPTS refused", "211-Extensions supported:\r\n EPRT\r\n UTF8\r\n211 End.\r\n", "504 Unknown command\r\n", true},
        {"UTF8 in lower case", "211-Features\r\n utf8\r\n211 End\r\n", "200 OK\r\n", true},
        {"no UTF8", "211-Features:\r\n EPRT\r\n REST STREAM\r\n211 End\r\n", nullptr, false},
        {"FEAT unknown", "500 Unknown command\r\n", nullptr, false},
        {"FEAT not implemented", "502 Command not implemented\r\n", nullptr, false},
        {"no features", "211 No features\r\n", nullptr, false},
        {"UTF8 only in the text", "211-Features (not UTF8):\r\n SIZE\r\n211 End UTF8\r\n", nullptr, false},
    };
    for (const Case& c : cases) {
        m_server.Accept().Send("220 ready\r\n").On("FEAT", c.feat);
        if (c.opts) m_server.On("OPTS UTF8 ON", c.opts);
        m_server.On("NOOP", "200 next\r\n");
    }
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_connection.Close();
        m_connection = Connect(m_server.Port(), m_abort);
        m_connection.ReadGreeting(m_abort, kTimeouts.receive);
        m_transcript.clear();
        Make<CFTPCommandSequenceFeatures>().Run();
        EXPECT_EQ(m_connection.UsesUtf8(), c.utf8);
        EXPECT_EQ(m_transcript.at(0), L"FEAT\r\n");
        EXPECT_EQ(m_transcript.size(), c.opts ? 4u : 2u);
        if (c.opts) {
            EXPECT_EQ(m_transcript.at(2), L"OPTS UTF8 ON\r\n");
        }
        CFTPCommand noop("NOOP");  // the script goes on in step: nothing more was sent
        EXPECT_EQ(noop.Execute(m_connection, m_abort, kTimeouts).code, 200);
    }
}

TEST_F(CommandSequences, ServerClosingDuringFeaturesIsTheReply) {
    const char* afterFeat[] = {"421 Service closing\r\n", "211-Features:\r\n UTF8\r\n211 End\r\n"};
    m_server.Accept().Send("220 ready\r\n").On("FEAT", afterFeat[0]);
    m_server.Accept().Send("220 ready\r\n").On("FEAT", afterFeat[1]).On("OPTS UTF8 ON", "421 Timeout\r\n");
    Open();
    for (const char* feat : afterFeat) {
        SCOPED_TRACE(feat);
        m_connection.Close();
        m_connection = Connect(m_server.Port(), m_abort);
        m_connection.ReadGreeting(m_abort, kTimeouts.receive);
        EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceFeatures>().Run(); }).code, 421);
    }
}

// ---- refusing arguments that would inject commands ---------------------------------------------

TEST_F(CommandSequences, LineBreaksOrNulInArgumentsFailWith87BeforeAnythingIsSent) {
    m_server.Send("220 ready\r\n");
    Open();
    const std::string nul("a\0DELE x", 8);
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const std::vector<Case> cases = {
        {"user name", [&] { Make<CFTPCommandSequenceLogin>().Run("bob\r\nDELE x", "x"); }},
        {"password", [&] { Make<CFTPCommandSequenceLogin>().Run("bob", "x\nDELE y"); }},
        {"password with NUL", [&] { Make<CFTPCommandSequenceLogin>().Run("bob", nul); }},
        {"folder", [&] { Make<CFTPCommandSequenceChangeDir>().Run("up\rDELE x"); }},
        {"path to open, late component", [&] { Make<CFTPCommandSequenceOpenDir>().Run("a\\b\\c\nDELE x"); }},
        {"path to create", [&] { Make<CFTPCommandSequenceCreateDir>().Run(nul); }},
        {"old name", [&] { Make<CFTPCommandSequenceRenameDir>().Run("a\r\nDELE x", "b"); }},
        {"new name", [&] { Make<CFTPCommandSequenceRenameDir>().Run("a", "b\nDELE x"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ErrorOf(c.run), platform::kErrorInvalidParameter);
    }
    EXPECT_EQ(m_transcript, std::vector<std::wstring>());
    EXPECT_EQ(Received(), Lines()) << "not even USER went out";
}

// ---- folders -----------------------------------------------------------------------------------

TEST_F(CommandSequences, OpenDirCreatesWhatIsMissingAndEntersEveryComponent) {
    m_server.Send("220 ready\r\n")
        .On("MKD a", "550 Exists\r\n").On("CWD a", "250 ok\r\n")
        .On("MKD b", "257 Created\r\n").On("CWD b", "250 ok\r\n")
        .On("MKD c", "257 Created\r\n").On("CWD c", "250 in c\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    const FTPReply reply = Make<CFTPCommandSequenceOpenDir>().Run("\\a\\\\b\\c\\");
    EXPECT_EQ(reply.code, 250);
    EXPECT_EQ(reply.text, L"250 in c\r\n");
}

TEST_F(CommandSequences, OpenDirOnlyEntersParentComponents) {
    m_server.Send("220 ready\r\n").On("CWD ..", "250 up\r\n").On("CWD ..", "250 up\r\n").On("MKD x", "257 ok\r\n").On("CWD x", "250 ok\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(Make<CFTPCommandSequenceOpenDir>().Run("..\\..\\x").code, 250);
}

TEST_F(CommandSequences, OpenDirOfAnEmptyPathSendsNothing) {
    m_server.Send("220 ready\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    CFTPCommandSequenceOpenDir openDir = Make<CFTPCommandSequenceOpenDir>();
    for (const char* path : {"", "\\", "\\\\"}) {
        SCOPED_TRACE(path);
        const FTPReply reply = openDir.Run(path);
        EXPECT_EQ(reply.code, 200);
        EXPECT_EQ(reply.text, L"");
    }
    EXPECT_EQ(Received(), Lines());
}

TEST_F(CommandSequences, OpenDirFailsWithARefusedCwd) {
    m_server.Send("220 ready\r\n").On("MKD locked", "550 Permission denied\r\n").On("CWD locked", "550 No such folder\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceOpenDir>().Run("locked\\deeper"); }).text, L"550 No such folder\r\n");
    EXPECT_EQ(Received(), (Lines{"MKD locked", "CWD locked"}));
}

TEST_F(CommandSequences, CreateDirEntersOnlyWhatExistsAndCreatesTheRestSideBySide) {
    m_server.Send("220 ready\r\n")
        .On("MKD a", "550 Exists\r\n").On("CWD a", "250 ok\r\n")
        .On("MKD b", "257 Created\r\n")
        .On("MKD c", "257 \"c\" created\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    const FTPReply reply = Make<CFTPCommandSequenceCreateDir>().Run("a\\b\\c");
    EXPECT_EQ(reply.code, 257);
    EXPECT_EQ(reply.text, L"257 \"c\" created\r\n");
    EXPECT_EQ(Received(), (Lines{"MKD a", "CWD a", "MKD b", "MKD c"}));
}

TEST_F(CommandSequences, ServerClosingAtMkdEndsOpenAndCreateWithItsReply) {
    // Without it, the CWD that follows reads a closed connection and the task fails with error 6.
    m_server.Send("220 ready\r\n").On("MKD a", "421 Timeout.\r\n").On("MKD b", "421 Shutting down.\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceOpenDir>().Run("a\\c"); }).text, L"421 Timeout.\r\n");
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceCreateDir>().Run("b\\c"); }).text, L"421 Shutting down.\r\n");
    EXPECT_EQ(Received(), (Lines{"MKD a", "MKD b"}));
}

TEST_F(CommandSequences, CreateDirOfAnExistingFolderThatCannotBeEnteredFails) {
    m_server.Send("220 ready\r\n").On("CWD ..", "250 ok\r\n").On("MKD x", "550 Exists\r\n").On("CWD x", "550 Denied\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceCreateDir>().Run("..\\x"); }).text, L"550 Denied\r\n");
}

TEST_F(CommandSequences, RenameStopsAtARefusedRnfr) {
    m_server.Send("220 ready\r\n").On("RNFR old", "550 No such file\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    EXPECT_EQ(Thrown([&] { Make<CFTPCommandSequenceRenameDir>().Run("old", "new"); }).code, 550);
    EXPECT_EQ(Received(), (Lines{"RNFR old"}));
}

// ---- replies of no expected class --------------------------------------------------------------

TEST_F(CommandSequences, RepliesOfNoExpectedClassFailWithError6) {
    const char* replies[] = {"099 Too low\r\n", "600 Class six\r\n", "999 Nine\r\n", "Hello\r\n", "-20 Negative\r\n"};
    m_server.Send("220 ready\r\n");
    for (const char* reply : replies) m_server.On("TYPE I", reply);
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    for (const char* reply : replies) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(ErrorOf([&] { Make<CFTPCommandSequenceTypeI>().Run(); }), platform::kErrorUnexpectedReply);
        EXPECT_EQ(m_transcript.back(), platform::FromAnsi(reply)) << "the reply is in the transcript";
    }
}

TEST_F(CommandSequences, ConnectionClosedMidReplyFailsWith6) {
    m_server.Send("220 ready\r\n").Expect("USER bob").Send("331 Pass").Close();
    Open();
    EXPECT_EQ(ErrorOf([&] { Make<CFTPCommandSequenceLogin>().Run("bob", "x"); }), platform::kErrorUnexpectedReply);
}

// ---- quit --------------------------------------------------------------------------------------

TEST_F(CommandSequences, QuitNeverFails) {
    m_server.Send("220 ready\r\n").Close();
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    m_server.Finish();  // the server has closed its end
    FTPReply reply = Make<CFTPCommandSequenceQuit>().Run();
    EXPECT_EQ(reply.code, 200);
    EXPECT_EQ(reply.text, L"");

    CFTPControlConnection neverOpened;
    std::vector<std::wstring> transcript;
    reply = CFTPCommandSequenceQuit(neverOpened, m_abort, transcript).Run();
    EXPECT_EQ(reply.code, 200);
    EXPECT_TRUE(transcript.empty());
}

TEST_F(CommandSequences, QuitAfterAbortReturnsAtOnce) {
    m_server.Send("220 ready\r\n");
    Open();
    m_connection.ReadGreeting(m_abort, kTimeouts.receive);
    m_abort.Set();
    EXPECT_EQ(Make<CFTPCommandSequenceQuit>().Run().code, 200);
}

}  // namespace
