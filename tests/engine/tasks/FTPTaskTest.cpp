// The run skeleton that every task follows, through a small task whose own step the test
// chooses, against the scripted fake server on loopback.
#include "Orvane/engine/tasks/FTPTask.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

#include "Orvane/engine/protocol/FTPCommandSequenceCreateDir.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"
#include "tests/engine/tasks/TaskTestSupport.h"

namespace {

using platform::Millis;
using testsupport::FakeFtpServer;

// Reports like the connection test: the skeleton, then whatever the test asks for.
class ProbeTask : public CFTPTask {
public:
    using CFTPTask::Session;
    using Step = std::function<void(Session&)>;
    ProbeTask(platform::WindowRef window, FTPSettings destination, platform::Event abort, Step step)
        : CFTPTask(window, std::move(destination), std::move(abort), FTPTimeouts{Millis(5000), Millis(5000)}),
          m_step(std::move(step)) {}

    void Execute() override {
        platform::PostToWindow(NotifyWindow(), WM_TEST_CONNECTION_STARTED, 0, 0);
        auto result = RunSession([&](Session& session) {
            EnterStartingFolder(session);
            if (m_step) m_step(session);
        });
        Finish(std::move(result));
    }

private:
    void PostDone(std::unique_ptr<CTaskResult> result) override {
        platform::PostOwned(NotifyWindow(), WM_TEST_CONNECTION_FINISHED, std::move(result), 0);
    }

    Step m_step;
};

class FTPTaskSkeleton : public testing::Test {
protected:
    // Runs a probe on this thread and returns its result, checking the two messages it posts.
    std::unique_ptr<CTaskResult> Run(FTPSettings destination, ProbeTask::Step step = {}) {
        m_server.Start();
        ProbeTask task(m_inbox.Ref(), std::move(destination), m_abort, std::move(step));
        task.Execute();
        EXPECT_TRUE(m_server.Finish());
        EXPECT_EQ(m_server.Failures(), std::vector<std::string>{});
        EXPECT_TRUE(m_inbox.WaitForResults(1));
        EXPECT_EQ(m_inbox.messages,
                  (std::vector<unsigned>{WM_TEST_CONNECTION_STARTED, WM_TEST_CONNECTION_FINISHED}));
        return m_inbox.results.empty() ? nullptr : std::move(m_inbox.results[0]);
    }

    FakeFtpServer m_server;
    TaskInbox m_inbox;
    platform::Event m_abort{platform::EventReset::Manual};
};

TEST_F(FTPTaskSkeleton, LogsInEntersTheStartingFolderAndQuits) {
    ScriptLogin(m_server).On("CWD /pub/incoming", "250 Directory changed.\r\n");
    ScriptQuit(m_server);
    auto result = Run(Destination(m_server.Port(), L"/pub/incoming"));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded());
    EXPECT_EQ(result->errorCode, 0u);
    EXPECT_EQ(result->reply.code, 250);  // the CWD's reply
    EXPECT_TRUE(Contains(result->transcript, L"CWD /pub/incoming"));
    EXPECT_FALSE(Contains(result->transcript, L"QUIT"));  // its lines are not the user's
    EXPECT_FALSE(Contains(result->transcript, L"Goodbye"));
}

TEST_F(FTPTaskSkeleton, EmptyStartingFolderSendsNoCwd) {
    ScriptQuit(ScriptLogin(m_server));
    auto result = Run(Destination(m_server.Port()));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded());
    EXPECT_EQ(result->reply.code, 230);  // the login's reply
    EXPECT_EQ(m_server.Received(), (std::vector<std::string>{"AUTH TLS", "USER anna", "PASS secret", "FEAT", "QUIT"}));
}

TEST_F(FTPTaskSkeleton, StartingFolderGoesToTheWireInTheAnsiCodePage) {
    const std::wstring folder = L"/Br\u00fccke";
    ScriptLogin(m_server).On("CWD " + platform::ToAnsi(folder), "250 Directory changed.\r\n");
    ScriptQuit(m_server);
    auto result = Run(Destination(m_server.Port(), folder));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded());
}

TEST_F(FTPTaskSkeleton, ServerOfferingUtf8GetsUtf8NamesAndRepliesAreReadInIt) {
    // Greek and Cyrillic, which no ANSI code page holds with the accents: 1113 in ANSI.
    const std::wstring folder = L"/Br\u00fccke \u03a9\u0416";
    ScriptLogin(m_server, "211-Features:\r\n UTF8\r\n211 End\r\n")
        .On("OPTS UTF8 ON", "200 OK\r\n")
        .On("CWD /Br\xc3\xbc" "cke \xce\xa9\xd0\x96", "250 \"/Br\xc3\xbc" "cke \xce\xa9\xd0\x96\" is current.\r\n");
    ScriptQuit(m_server);
    auto result = Run(Destination(m_server.Port(), folder));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded());
    EXPECT_EQ(result->reply.text, L"250 \"" + folder + L"\" is current.\r\n");
    EXPECT_TRUE(Contains(result->transcript, L"CWD " + folder));
    EXPECT_TRUE(Contains(result->transcript, L"FEAT"));
}

TEST_F(FTPTaskSkeleton, NameTheAnsiCodePageCannotHoldFailsWith1113BeforeItIsSent) {
    ScriptQuit(ScriptLogin(m_server));
    auto result = Run(Destination(m_server.Port(), L"/\u03a9"));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorCode, 1113u);
    EXPECT_EQ(m_server.Received(), (std::vector<std::string>{"AUTH TLS", "USER anna", "PASS secret", "FEAT", "QUIT"}));
}

TEST_F(FTPTaskSkeleton, RefusedLoginIsTheReplyNotAnError) {
    m_server.Send("220 ready\r\n")
        .On("AUTH TLS", "502 Not implemented.\r\n")
        .On("USER anna", "331 Password required.\r\n")
        .On("PASS secret", "530 Login incorrect.\r\n");
    ScriptQuit(m_server);
    bool stepRan = false;
    auto result = Run(Destination(m_server.Port(), L"/pub"), [&](auto&) { stepRan = true; });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorCode, 0u);
    EXPECT_EQ(result->reply.code, 530);
    EXPECT_FALSE(result->Succeeded());
    EXPECT_FALSE(stepRan);
    EXPECT_EQ(m_server.Received(), (std::vector<std::string>{"AUTH TLS", "USER anna", "PASS secret", "QUIT"}));
}

TEST_F(FTPTaskSkeleton, ReplyOfTheOwnStepBecomesTheResult) {
    // A refused MKD is followed by an attempt to enter the folder; both are refused.
    ScriptLogin(m_server)
        .On("MKD new", "550 Permission denied.\r\n")
        .On("CWD new", "550 No such folder.\r\n");
    ScriptQuit(m_server);
    auto result = Run(Destination(m_server.Port()), [](ProbeTask::Session& session) {
        session.reply = session.Open<CFTPCommandSequenceCreateDir>().Run("new");
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorCode, 0u);
    EXPECT_EQ(result->reply.code, 550);
    EXPECT_TRUE(Contains(result->transcript, L"MKD new"));
}

TEST_F(FTPTaskSkeleton, DroppedConnectionIsAnErrorAndTheQuitFailsQuietly) {
    ScriptLogin(m_server).Expect("CWD /pub").Reset();
    auto result = Run(Destination(m_server.Port(), L"/pub"));
    ASSERT_TRUE(result);
    EXPECT_NE(result->errorCode, 0u);
    EXPECT_EQ(result->reply.code, 230);  // the last reply before the break
}

TEST_F(FTPTaskSkeleton, AbortDuringAWaitEndsWith995) {
    platform::Event greeted(platform::EventReset::Manual);
    m_server.Signal(greeted);  // then silence: no greeting ever comes
    std::thread stopper([&] {
        greeted.Wait(Millis(10000));
        m_abort.Set();
    });
    auto result = Run(Destination(m_server.Port(), L"/pub"));
    stopper.join();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorCode, 995u);
}

// What the answer to AUTH TLS leads to, by the destination's encryption. A server that cannot do
// TLS gets the login in clear only where the destination allows it; where TLS is required, or
// once the server has said 234, nothing of the login goes out unless the handshake succeeded.
TEST(FTPTaskEncryption, LoginGoesOutInClearOnlyWhereTheDestinationAllowsIt) {
    const std::vector<std::string> login{"AUTH TLS", "USER anna", "PASS secret", "FEAT", "QUIT"};
    const std::vector<std::string> noLogin{"AUTH TLS", "QUIT"};
    const struct {
        const char* name;
        FTPEncryption encryption;
        const char* authReply;  // null: AUTH TLS is not sent
        bool closes;            // the server ends the connection after its reply
        std::vector<std::string> received;
        std::uint32_t errorCode;
        int replyCode;
    } rows[] = {
        {"plain FTP sends no AUTH", FTPEncryption::None, nullptr, false,
         {"USER anna", "PASS secret", "FEAT", "QUIT"}, 0, 230},
        {"if offered, not understood", FTPEncryption::ExplicitIfOffered, "500 Unknown command.\r\n", false, login, 0, 230},
        {"if offered, refused by policy", FTPEncryption::ExplicitIfOffered, "534 Not for you.\r\n", false, login, 0, 230},
        {"required, not understood", FTPEncryption::ExplicitRequired, "500 Unknown command.\r\n", false, noLogin,
         static_cast<std::uint32_t>(platform::kErrorTlsNotOffered), 200},
        {"required, not implemented", FTPEncryption::ExplicitRequired, "502 Not implemented.\r\n", false, noLogin,
         static_cast<std::uint32_t>(platform::kErrorTlsNotOffered), 200},
        {"if offered, server closing", FTPEncryption::ExplicitIfOffered, "421 Too many users.\r\n", false, noLogin, 0, 421},
        {"if offered, no promise of a handshake", FTPEncryption::ExplicitIfOffered, "200 Whatever.\r\n", false, noLogin,
         static_cast<std::uint32_t>(platform::kErrorUnexpectedReply), 200},
        // Clear text behind the 234 may be someone else's (RFC 4217, 4): nothing of it is believed.
        {"if offered, 234 with more behind it", FTPEncryption::ExplicitIfOffered,
         "234 Proceed.\r\n230 Logged in.\r\n", true, {"AUTH TLS"},
         static_cast<std::uint32_t>(platform::kErrorUnexpectedReply), 200},
        // After 234 there is no way back to clear text.
        {"if offered, 234 and no handshake", FTPEncryption::ExplicitIfOffered, "234 Proceed.\r\n", true, {"AUTH TLS"},
         static_cast<std::uint32_t>(platform::kErrorConnectionReset), 200},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFtpServer server;
        server.Send("220 ready\r\n");
        if (row.authReply) server.On("AUTH TLS", row.authReply);
        if (row.closes)
            server.Close();
        else if (row.received.size() > 2)
            ScriptQuit(server.On("USER anna", "331 Password required.\r\n")
                           .On("PASS secret", "230 Logged in.\r\n")
                           .On("FEAT", "211 No features\r\n"));
        else
            ScriptQuit(server);
        server.Start();
        FTPSettings destination = Destination(server.Port());
        destination.encryption = row.encryption;
        TaskInbox inbox;
        ProbeTask(inbox.Ref(), destination, platform::Event(platform::EventReset::Manual), {}).Execute();
        ASSERT_TRUE(inbox.WaitForResults(1));
        EXPECT_TRUE(server.Finish());
        EXPECT_EQ(server.Received(), row.received);
        EXPECT_EQ(inbox.results[0]->errorCode, row.errorCode);
        EXPECT_EQ(inbox.results[0]->reply.code, row.replyCode);
    }
}

// Whatever a step throws, the task ends with a result that keeps the last reply, and QUIT goes
// out: no memory is a failed task, not the end of the process.
TEST(FTPTaskErrors, FailureInATaskStepKeepsTheLastReplyAndStillQuits) {
    const struct {
        const char* name;
        ProbeTask::Step step;
        std::uint32_t code;
    } rows[] = {
        {"an engine error", [](auto&) { throw 10054; }, 10054},
        {"no memory", [](auto&) { throw std::bad_alloc(); }, 8},
        {"a fault of ours", [](auto&) { throw std::logic_error("unexpected"); }, 1359},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFtpServer server;
        ScriptLogin(server).On("CWD /pub", "250 Directory changed.\r\n");
        ScriptQuit(server).Start();
        TaskInbox inbox;
        ProbeTask(inbox.Ref(), Destination(server.Port(), L"/pub"), platform::Event(platform::EventReset::Manual),
                  row.step)
            .Execute();
        ASSERT_TRUE(inbox.WaitForResults(1));
        EXPECT_EQ(inbox.results[0]->errorCode, row.code);
        EXPECT_EQ(inbox.results[0]->reply.code, 250);
        EXPECT_TRUE(server.Finish());
        EXPECT_EQ(server.Failures(), std::vector<std::string>{});  // the QUIT included
    }
}

TEST(FTPTaskErrors, RefusedConnectionIsTheErrorCode) {
    std::uint16_t closedPort;
    {
        testsupport::TestListener listener;
        closedPort = listener.Port();
    }
    TaskInbox inbox;
    ProbeTask(inbox.Ref(), Destination(closedPort, L"/pub"), platform::Event(platform::EventReset::Manual), {})
        .Execute();
    ASSERT_TRUE(inbox.WaitForResults(1));
    EXPECT_EQ(inbox.results[0]->errorCode, 10061u);
    EXPECT_EQ(inbox.results[0]->reply.code, 200);
    EXPECT_TRUE(inbox.results[0]->transcript.empty());
}

TEST(FTPTaskErrors, ResultForAWindowThatIsGoneIsFreedByTheTask) {
    FakeFtpServer server;
    ScriptQuit(ScriptLogin(server));
    server.Start();
    TaskInbox inbox;
    platform::WindowRef gone = inbox.Ref();
    inbox.Destroy();
    ProbeTask task(gone, Destination(server.Port()), platform::Event(platform::EventReset::Manual), {});
    task.Execute();  // under the sanitizers a result left behind is reported as a leak
    EXPECT_TRUE(server.Finish());
    EXPECT_TRUE(inbox.messages.empty());
}

}  // namespace
