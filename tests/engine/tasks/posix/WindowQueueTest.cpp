// The queue windows that stand in for real windows off Windows.
#include "platform/posix/WindowQueue.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using platform::Millis;

// The thread's pump leaves a queue window's messages for its reader, who gets them in order.
TEST(WindowQueue, ReaderTakesMessagesInPostingOrderPastThePump) {
    platform::posix::WindowQueue queue;
    std::thread sender([&] {
        for (std::uintptr_t i = 0; i < 3; ++i) platform::PostToWindow(queue.Ref(), 0x0800 + i, i, -static_cast<std::intptr_t>(i));
    });
    sender.join();
    platform::DispatchPendingMessages();
    for (std::uintptr_t i = 0; i < 3; ++i) {
        auto message = queue.Take(Millis(0));
        ASSERT_TRUE(message);
        EXPECT_EQ(message->message, 0x0800 + i);
        EXPECT_EQ(message->wParam, i);
        EXPECT_EQ(message->lParam, -static_cast<std::intptr_t>(i));
    }
    EXPECT_FALSE(queue.Take(Millis(10)));
}

TEST(WindowQueue, DestroyedQueueRefusesPostsAndReturnsWhatWasLeft) {
    platform::posix::WindowQueue queue;
    platform::WindowRef ref = queue.Ref();
    ASSERT_TRUE(platform::PostToWindow(ref, 0x0801, 1, 0));
    ASSERT_TRUE(platform::PostToWindow(ref, 0x0802, 2, 0));
    auto left = queue.Destroy();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[1].message, 0x0802u);
    EXPECT_FALSE(platform::IsWindowAlive(ref));
    EXPECT_FALSE(platform::PostToWindow(ref, 0x0803, 3, 0));
    EXPECT_TRUE(queue.Destroy().empty());
}

}  // namespace
