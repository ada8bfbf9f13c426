#include "Orvane/engine/tasks/FTPTask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>

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

// Runs a probe on this thread against `server` and returns its result, checking the two
// messages it posts.
std::unique_ptr<CTaskResult> RunProbe(FakeFtpServer& server, FTPSettings destination, ProbeTask::Step step = {},
                                      platform::Event abort = platform::Event(platform::EventReset::Manual)) {
    server.Start();
    TaskInbox inbox;
    ProbeTask(inbox.Ref(), std::move(destination), std::move(abort), std::move(step)).Execute();
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});  // the QUIT included
    if (!inbox.WaitForResults(1)) return nullptr;
    EXPECT_EQ(inbox.messages, (std::vector<unsigned>{WM_TEST_CONNECTION_STARTED, WM_TEST_CONNECTION_FINISHED}));
    return std::move(inbox.results[0]);
}

// The starting folder goes out in the ANSI code page, or in UTF-8 where the server offers it
// (and its replies are read in it); a name the code page cannot hold fails before it is sent.
// (No starting folder, no CWD: EngineUpload.WalksFolders...; a plain one: EngineTree.)
TEST(FTPTaskStartingFolder, IsEnteredInTheServersEncoding) {
    const struct {
        const char* name;
        std::wstring folder;
        bool utf8;
        std::string cwd;  // empty: no CWD goes out
        std::uint32_t errorCode;
        int replyCode;
    } rows[] = {
        {"ANSI", L"/Br\u00fccke", false, "CWD " + platform::ToAnsi(L"/Br\u00fccke"), 0, 250},
        {"not in the ANSI code page", L"/\u03a9", false, "", 1113, 230},
        {"UTF-8", L"/Br\u00fccke \u03a9\u0416", true, "CWD /Br\xc3\xbc" "cke \xce\xa9\xd0\x96", 0, 250},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFtpServer server;
        if (row.utf8)
            ScriptLogin(server, "211-Features:\r\n UTF8\r\n211 End\r\n").On("OPTS UTF8 ON", "200 OK\r\n");
        else
            ScriptLogin(server);
        if (!row.cwd.empty()) server.On(row.cwd, "250 \"" + row.cwd.substr(4) + "\" is current.\r\n");
        ScriptQuit(server);
        const auto probed = RunProbe(server, Destination(server.Port(), row.folder));
        ASSERT_TRUE(probed);
        const CTaskResult& result = *probed;
        EXPECT_EQ(result.errorCode, row.errorCode);
        EXPECT_EQ(result.reply.code, row.replyCode);
        if (row.replyCode == 250) {
            EXPECT_EQ(result.reply.text, L"250 \"" + row.folder + L"\" is current.\r\n");
            EXPECT_TRUE(Contains(result.transcript, L"CWD " + row.folder));
        }
        EXPECT_FALSE(Contains(result.transcript, L"QUIT"));  // its lines are not the user's
    }
}

TEST(FTPTaskSkeleton, DroppedConnectionIsAnErrorAndTheQuitFailsQuietly) {
    FakeFtpServer server;
    ScriptLogin(server).Expect("CWD /pub").Reset();
    auto result = RunProbe(server, Destination(server.Port(), L"/pub"));
    ASSERT_TRUE(result);
    EXPECT_NE(result->errorCode, 0u);
    EXPECT_EQ(result->reply.code, 230);  // the last reply before the break
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
        const auto sends = [&](const char* command) {
            return std::count(row.received.begin(), row.received.end(), command) > 0;
        };
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
        ScriptQuit(server);
        auto result = RunProbe(server, Destination(server.Port(), L"/pub"), row.step);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->errorCode, row.code);
        EXPECT_EQ(result->reply.code, 250);
    }
}

}  // namespace
