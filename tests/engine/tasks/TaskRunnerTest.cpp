#include "Orvane/engine/tasks/FTPTaskRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <new>

#include "Orvane/engine/tasks/FTPTaskUpload.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/support/TestListener.h"

namespace {

using platform::Millis;
using testsupport::FakeFtpServer;

constexpr FTPTimeouts kShortTimeouts{Millis(5000), Millis(5000)};
constexpr Millis kPatience{20000};

// One create-directory session in the folder /pub; with `release`, the MKD is answered only once
// it is set.
FakeFtpServer& ScriptMkdir(FakeFtpServer& server, const std::string& folder, bool another = false,
                           const platform::Event* release = nullptr) {
    ScriptLogin(server).On("CWD /pub", "250 Directory changed.\r\n").Expect("MKD " + folder);
    if (release) server.WaitFor(*release);
    server.Send("257 Created.\r\n");
    return ScriptQuit(server, another);
}

void ExpectScriptPlayed(FakeFtpServer& server) {
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

// A wait that times out gives the time-out result; the task's late result must not stand in for
// the result of the next wait, whether it arrives between the two waits or during the second
// one. The caller's other windows keep working while it waits: in the second case a message to
// one of them is what lets the server answer at all.
TEST(TaskRunnerWait, LateResultDoesNotAnswerTheNextWait) {
    for (const bool duringTheNextWait : {false, true}) {
        SCOPED_TRACE(duringTheNextWait ? "during the next wait" : "between the waits");
        FakeFtpServer server;
        platform::Event release(platform::EventReset::Manual);
        ScriptMkdir(server, "late", true, &release);
        if (!duringTheNextWait) ScriptMkdir(server, "marker", true);
        ScriptMkdir(server, "next").Start();
        TaskInbox inbox;
        CFTPTaskRunner runner(kShortTimeouts);
        const CTaskResult timedOut =
            runner.CreateDirectoryAndWait(Destination(server.Port(), L"/pub"), L"late", Millis(200));
        EXPECT_EQ(timedOut.errorCode, 10060u);
        EXPECT_EQ(timedOut.reply.code, 200);
        EXPECT_TRUE(timedOut.transcript.empty());
        // Dispatched by the next wait: the late task answers while that wait is under way.
        platform::MessageWindow releaser(L"OrvaneTestWindow", [&](unsigned message, std::uintptr_t, std::intptr_t) {
            if (message != 0x0400) return false;
            release.Set();
            return true;
        });
        if (duringTheNextWait) {
            platform::PostToWindow(releaser.Ref(), 0x0400, 0, 0);
        } else {
            // A marker behind the late task: once its result is here, the late one has been dispatched.
            runner.StartCreateDirectory(Destination(server.Port(), L"/pub"), L"marker", inbox.Ref());
            release.Set();
            ASSERT_TRUE(inbox.WaitForResults(1));
        }
        CTaskResult result = runner.CreateDirectoryAndWait(Destination(server.Port(), L"/pub"), L"next", kPatience);
        EXPECT_TRUE(result.Succeeded());
        EXPECT_TRUE(Contains(result.transcript, L"MKD next"));
        EXPECT_FALSE(Contains(result.transcript, L"MKD late"));
        ExpectScriptPlayed(server);
    }
}

// An upload that fails where nothing of its own catches: at once, here.
class ThrowingUpload : public CFTPTaskUpload {
public:
    ThrowingUpload(platform::WindowRef window, platform::Event abort, std::function<void()> fail)
        : CFTPTaskUpload(window, ::Destination(21), std::move(abort), L"job", {}), m_fail(std::move(fail)) {}
    void Execute() override { m_fail(); }

private:
    std::function<void()> m_fail;
};

// The runner reports the failure with the task's own done message, so the job controller hears
// of it as of any failed upload, and goes on with the task queued behind: here a listing of an
// empty folder that the server refuses as "450 No files found", which is an empty listing, not
// a failure that the browser would show as an error. (What each exception becomes: FTPTaskErrors.)
TEST(TaskRunnerFailure, ExceptionThatEndsATaskIsItsFailedResultAndTheRunnerGoesOn) {
    FakeFtpServer server;
    testsupport::TestListener data;
    ScriptLogin(server)
        .On("CWD /pub/empty", "250 Directory changed.\r\n")
        .On("PASV", PassiveReply(data.Port()))
        .On("LIST", "450 No files found\r\n");
    ScriptQuit(server).Start();
    TaskInbox inbox;
    CFTPTaskRunner runner(kShortTimeouts);
    runner.QueueTask(std::make_unique<ThrowingUpload>(inbox.Ref(), runner.AbortEvent(), [] { throw std::bad_alloc(); }));
    runner.StartGetDirectoryContent(Destination(server.Port(), L"/pub/empty"), inbox.Ref());
    ASSERT_TRUE(inbox.WaitForResults(2));
    EXPECT_EQ(inbox.results[0]->errorCode, 8u);
    ASSERT_EQ(inbox.uploads.at(0).message, WM_UPLOAD_FINISHED);
    EXPECT_EQ(inbox.uploads.at(0).jobKey, L"job");
    EXPECT_EQ(std::vector<unsigned>(inbox.messages.end() - 2, inbox.messages.end()),
              (std::vector<unsigned>{WM_LIST_STARTED, WM_LIST_FINISHED}));
    EXPECT_TRUE(inbox.results[1]->Succeeded()) << inbox.results[1]->reply.code;
    ASSERT_EQ(inbox.listings.size(), 1u);
    ASSERT_TRUE(inbox.listings[0]);
    EXPECT_TRUE(inbox.listings[0]->entries.empty());
    ExpectScriptPlayed(server);
}

// With the default time-outs the silent server would hold the task for a minute; the stop
// signal ends the pending socket wait at once, and the tasks behind it never start.
TEST(TaskRunnerStop, DestroyingTheRunnerEndsALongSocketWaitAndDropsTheQueue) {
    FakeFtpServer server;
    platform::Event accepted(platform::EventReset::Manual);
    server.Signal(accepted).Start();  // then silence: not even a greeting
    TaskInbox inbox;
    auto runner = std::make_unique<CFTPTaskRunner>();  // 30 s and 60 s socket waits
    runner->StartCreateDirectory(Destination(server.Port(), L"/pub"), L"running", inbox.Ref());
    ASSERT_TRUE(accepted.Wait(kPatience));
    runner->StartCreateDirectory(Destination(server.Port(), L"/pub"), L"queued", inbox.Ref());
    runner->StartRenameDirectory(Destination(server.Port(), L"/pub"), L"a", L"b", inbox.Ref());

    auto start = std::chrono::steady_clock::now();
    runner.reset();  // under the sanitizers a task left behind is reported as a leak
    EXPECT_LT(std::chrono::steady_clock::now() - start, Millis(5000));  // normally a few milliseconds

    ASSERT_TRUE(inbox.WaitForResults(1));
    platform::DispatchPendingMessages();
    EXPECT_EQ(inbox.results[0]->errorCode, 995u);
    EXPECT_EQ(inbox.messages, (std::vector<unsigned>{WM_MKDIR_STARTED, WM_MKDIR_FINISHED}));
    ExpectScriptPlayed(server);
}

}  // namespace
