#include "Orvane/engine/tasks/FTPTask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>

#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "tests/engine/tasks/TaskTestSupport.h"

namespace {

using platform::Millis;
using testsupport::FakeFtpServer;

// Reports like the connection test: the skeleton, then whatever step the test gives it.
class ProbeTask : public CFTPTask {
public:
    using CFTPTask::Session;
    using Step = std::function<void(Session&)>;
    ProbeTask(platform::WindowRef window, FTPSettings destination, Step step)
        : CFTPTask(window, std::move(destination), platform::Event(platform::EventReset::Manual),
                   FTPTimeouts{Millis(5000), Millis(5000)}),
          m_step(std::move(step)) {}

    void Execute() override {
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

// Runs a probe on this thread against `server` and returns its result.
std::unique_ptr<CTaskResult> RunProbe(FakeFtpServer& server, FTPSettings destination, ProbeTask::Step step = {}) {
    server.Start();
    TaskInbox inbox;
    ProbeTask(inbox.Ref(), std::move(destination), std::move(step)).Execute();
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});  // the QUIT included
    if (!inbox.WaitForResults(1)) return nullptr;
    EXPECT_EQ(inbox.messages, std::vector<unsigned>{WM_TEST_CONNECTION_FINISHED});  // one done message
    return std::move(inbox.results[0]);
}

// What the answer to AUTH TLS leads to, by the destination's encryption. A server that cannot do
// TLS gets the login in clear only where the destination allows it; where TLS is required, or
// once the server has said 234, nothing of the login goes out unless the handshake succeeded.
// A refused login is the reply, not an error, and the task's own step does not run.
TEST(FTPTaskEncryption, LoginGoesOutInClearOnlyWhereTheDestinationAllowsIt) {
    using enum FTPEncryption;
    const std::vector<std::string> login{"AUTH TLS", "USER anna", "PASS secret", "FEAT", "QUIT"};
    const std::vector<std::string> refused{"AUTH TLS", "USER anna", "PASS secret", "QUIT"};
    const std::vector<std::string> noLogin{"AUTH TLS", "QUIT"};
    const std::vector<std::string> closed{"AUTH TLS"};
    const struct {
        const char* name;
        FTPEncryption encryption;
        const char* authReply;  // null: AUTH TLS is not sent
        std::vector<std::string> received;
        int errorCode;
        int replyCode;
    } rows[] = {
        {"plain FTP sends no AUTH", None, nullptr, {"USER anna", "PASS secret", "FEAT", "QUIT"}, 0, 230},
        {"if offered, not understood", ExplicitIfOffered, "500 Unknown command.\r\n", login, 0, 230},
        {"login refused", ExplicitIfOffered, "502 Not implemented.\r\n", refused, 0, 530},
        {"required, not implemented", ExplicitRequired, "502 Not implemented.\r\n", noLogin,
         platform::kErrorTlsNotOffered, 200},
        {"if offered, server closing", ExplicitIfOffered, "421 Too many users.\r\n", noLogin, 0, 421},
        {"if offered, no promise of a handshake", ExplicitIfOffered, "200 Whatever.\r\n", noLogin,
         platform::kErrorUnexpectedReply, 200},
        // Clear text behind the 234 may be someone else's (RFC 4217, 4): nothing of it is believed.
        {"if offered, 234 with more behind it", ExplicitIfOffered, "234 Proceed.\r\n230 Logged in.\r\n", closed,
         platform::kErrorUnexpectedReply, 200},
        // After 234 there is no way back to clear text.
        {"if offered, 234 and no handshake", ExplicitIfOffered, "234 Proceed.\r\n", closed,
         platform::kErrorConnectionReset, 200},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFtpServer server;
        server.Send("220 ready\r\n");
        if (row.authReply) server.On("AUTH TLS", row.authReply);
        if (row.received == closed) server.Close();
        const auto sends = [&](const char* c) { return std::count(row.received.begin(), row.received.end(), c) > 0; };
        if (sends("USER anna"))
            server.On("USER anna", "331 Password required.\r\n")
                .On("PASS secret", row.replyCode == 530 ? "530 Login incorrect.\r\n" : "230 Logged in.\r\n");
        if (sends("FEAT")) server.On("FEAT", "211 No features\r\n");
        if (row.received != closed) ScriptQuit(server);
        FTPSettings destination = Destination(server.Port());
        destination.encryption = row.encryption;
        bool stepRan = false;
        auto result = RunProbe(server, destination, [&](auto&) { stepRan = true; });
        ASSERT_TRUE(result);
        EXPECT_EQ(server.Received(), row.received);
        EXPECT_EQ(result->errorCode, static_cast<std::uint32_t>(row.errorCode));
        EXPECT_EQ(result->reply.code, row.replyCode);
        EXPECT_EQ(stepRan, result->Succeeded());
    }
}

// Whatever a step throws, and a connection that drops, the task ends with a result that keeps
// the last reply; QUIT goes out where it can and fails quietly where it cannot. No memory is a
// failed task, not the end of the process.
TEST(FTPTaskErrors, FailureInATaskStepKeepsTheLastReplyAndStillQuits) {
    const struct {
        const char* name;
        ProbeTask::Step step;  // null: the server drops the connection at the CWD
        std::uint32_t code;
        int replyCode;
    } rows[] = {
        {"connection dropped", {}, 10054, 230},
        {"an engine error", [](auto&) { throw 10054; }, 10054, 250},
        {"no memory", [](auto&) { throw std::bad_alloc(); }, 8, 250},
        {"a fault of ours", [](auto&) { throw std::logic_error("unexpected"); }, 1359, 250},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFtpServer server;
        if (!row.step) {
            ScriptLogin(server).Expect("CWD /pub").Reset();
        } else {
            ScriptLogin(server).On("CWD /pub", "250 Directory changed.\r\n");
            ScriptQuit(server);
        }
        auto result = RunProbe(server, Destination(server.Port(), L"/pub"), row.step);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->errorCode, row.code);
        EXPECT_EQ(result->reply.code, row.replyCode);
    }
}

}  // namespace
