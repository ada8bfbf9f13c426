// A quit request that reaches a blocking wait must neither end the wait nor get lost.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/Window.h"

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

}  // namespace
