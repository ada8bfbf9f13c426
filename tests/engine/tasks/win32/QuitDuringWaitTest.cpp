// A quit request that reaches a blocking wait must neither end the wait nor get lost.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "Orvane/engine/tasks/FTPTaskRunner.h"
#include "platform/Window.h"
#include "tests/engine/tasks/TaskTestSupport.h"

namespace {

TEST(WindowPump, QuitDuringAWaitIsTakenOutAndPutBackAfterIt) {
    platform::Event done(platform::EventReset::Auto);
    bool handled = false;
    platform::MessageWindow window(L"OrvaneTestWindow", [&](unsigned message, std::uintptr_t, std::intptr_t) {
        if (message != 0x0800) return false;
        handled = true;
        done.Set();
        return true;
    });
    ::PostQuitMessage(7);
    ASSERT_TRUE(platform::PostToWindow(window.Ref(), 0x0800, 0, 0));

    EXPECT_TRUE(platform::WaitPumpingMessages(done, platform::Millis(10000)));
    EXPECT_TRUE(handled);  // the wait went on past the quit message

    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST(TaskRunnerWait, QuitDuringABlockingCallLetsItFinishAndStaysForTheMessageLoop) {
    testsupport::FakeFtpServer server;
    ScriptLogin(server).On("MKD made", "257 Created.\r\n");
    ScriptQuit(server).Start();
    CFTPTaskRunner runner(FTPTimeouts{platform::Millis(5000), platform::Millis(5000)});
    ::PostQuitMessage(3);

    CTaskResult result = runner.CreateDirectoryAndWait(Destination(server.Port()), L"made", platform::Millis(20000));
    EXPECT_TRUE(result.Succeeded());

    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_TRUE(server.Finish());
}

}  // namespace
