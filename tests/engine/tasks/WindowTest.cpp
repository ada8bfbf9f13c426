// Posting to windows, with the ownership of posted heap objects, and the message pump of
// blocking waits. On Windows these are real windows and the thread's real message queue.
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

using platform::Millis;

constexpr unsigned kMessage = 0x0800;
constexpr unsigned kOther = 0x0801;
constexpr Millis kPatience{10000};

// Counts the live objects of its kind, so that a test sees each one freed exactly once.
struct Tracked {
    explicit Tracked(std::atomic<int>& live, int value_ = 0) : m_live(live), value(value_) { ++m_live; }
    ~Tracked() { --m_live; }
    Tracked(const Tracked&) = delete;
    Tracked& operator=(const Tracked&) = delete;

    std::atomic<int>& m_live;
    int value;
};

struct Received {
    unsigned message;
    std::unique_ptr<Tracked> w;
    std::unique_ptr<Tracked> l;
};

// A window that adopts both parameters of every message, as the engine's receivers do.
class AdoptingWindow {
public:
    AdoptingWindow()
        : m_window(L"OrvaneTestWindow", [this](unsigned message, std::uintptr_t w, std::intptr_t l) {
              if (message != kMessage && message != kOther) return false;
              received.push_back({message, platform::AdoptPosted<Tracked>(w), platform::AdoptPosted<Tracked>(l)});
              return true;
          }) {}

    platform::MessageWindow& Window() { return m_window; }
    std::vector<Received> received;

private:
    platform::MessageWindow m_window;
};

TEST(WindowPosting, WindowThatIsGoneMakesTheSenderFreeBothObjects) {
    std::atomic<int> live{0};
    AdoptingWindow target;
    platform::WindowRef ref = target.Window().Ref();
    target.Window().Destroy();

    EXPECT_FALSE(platform::IsWindowAlive(ref));
    EXPECT_FALSE(platform::PostOwned(ref, kMessage, std::make_unique<Tracked>(live),
                                     std::make_unique<Tracked>(live)));
    EXPECT_FALSE(platform::PostOwned(ref, kMessage, std::make_unique<Tracked>(live), 5));
    EXPECT_FALSE(platform::PostOwned(ref, kMessage, 0, std::make_unique<Tracked>(live)));
    EXPECT_EQ(live, 0);
    EXPECT_TRUE(target.received.empty());
    EXPECT_FALSE(platform::PostToWindow(platform::WindowRef{}, kMessage, 0, 0));
}

// Another program can post our message numbers with parameters of its own making.
TEST(WindowPosting, OnlyWhatThisProcessPostedIsAdoptedAndOnlyOnce) {
    std::atomic<int> live{0};
    AdoptingWindow target;
    Tracked stranger(live);
    auto posted = std::make_unique<Tracked>(live, 7);
    const auto address = reinterpret_cast<std::uintptr_t>(posted.get());
    ASSERT_TRUE(platform::PostToWindow(target.Window().Ref(), kMessage, reinterpret_cast<std::uintptr_t>(&stranger),
                                       0x10));
    ASSERT_TRUE(platform::PostOwned(target.Window().Ref(), kOther, std::move(posted), 0));
    EXPECT_EQ(platform::AdoptPosted<int>(address).release(), nullptr);  // nor as another type

    platform::DispatchPendingMessages();
    ASSERT_EQ(target.received.size(), 2u);
    // release(): never free what was not ours, even when the check fails.
    EXPECT_EQ(target.received[0].w.release(), nullptr);
    EXPECT_EQ(target.received[0].l.release(), nullptr);
    ASSERT_NE(target.received[1].w, nullptr);
    EXPECT_EQ(target.received[1].w->value, 7);
    EXPECT_EQ(platform::AdoptPosted<Tracked>(address).release(), nullptr);  // adopted already
    target.received.clear();
    EXPECT_EQ(live, 1);  // the stranger alone
}

TEST(WindowPosting, ReceiverOwnsWhatAnotherThreadPosted) {
    std::atomic<int> live{0};
    AdoptingWindow target;
    platform::WindowRef ref = target.Window().Ref();
    EXPECT_TRUE(platform::IsWindowAlive(ref));

    std::thread sender([&] {
        EXPECT_TRUE(platform::PostOwned(ref, kMessage, std::make_unique<Tracked>(live, 1),
                                        std::make_unique<Tracked>(live, 2)));
        EXPECT_TRUE(platform::PostOwned(ref, kOther, 0, std::make_unique<Tracked>(live, 3)));
    });
    sender.join();
    EXPECT_EQ(live, 3);  // in flight: neither side has freed them

    platform::DispatchPendingMessages();
    ASSERT_EQ(target.received.size(), 2u);
    EXPECT_EQ(target.received[0].message, kMessage);
    EXPECT_EQ(target.received[0].w->value, 1);
    EXPECT_EQ(target.received[0].l->value, 2);
    EXPECT_EQ(target.received[1].message, kOther);
    EXPECT_EQ(target.received[1].w, nullptr);
    EXPECT_EQ(target.received[1].l->value, 3);
    target.received.clear();
    EXPECT_EQ(live, 0);
}

TEST(WindowPosting, DestroyingAWindowHandsItsQueuedMessagesToItsHandler) {
    std::atomic<int> live{0};
    AdoptingWindow target;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(platform::PostOwned(target.Window().Ref(), kMessage, std::make_unique<Tracked>(live, i), 0));
    target.Window().Destroy();
    ASSERT_EQ(target.received.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(target.received[i].w->value, i);
    target.received.clear();
    EXPECT_EQ(live, 0);
}

TEST(WindowPosting, MessagesToTwoWindowsOfAThreadArriveInPostingOrder) {
    std::vector<int> order;
    auto recorder = [&](int which) {
        return [&order, which](unsigned message, std::uintptr_t w, std::intptr_t) {
            if (message != kMessage) return false;
            order.push_back(which * 100 + static_cast<int>(w));
            return true;
        };
    };
    platform::MessageWindow one(L"OrvaneTestWindow", recorder(1));
    platform::MessageWindow two(L"OrvaneTestWindow", recorder(2));
    std::thread sender([&] {
        for (std::uintptr_t i = 0; i < 4; ++i)
            platform::PostToWindow(i % 2 ? two.Ref() : one.Ref(), kMessage, i, 0);
    });
    sender.join();
    platform::DispatchPendingMessages();
    EXPECT_EQ(order, (std::vector<int>{100, 201, 102, 203}));
}


TEST(WindowPump, WaitDispatchesMessagesUntilAHandlerSignalsTheEvent) {
    platform::Event done(platform::EventReset::Auto);
    std::vector<int> seen;
    std::thread::id handlerThread;
    platform::MessageWindow window(L"OrvaneTestWindow", [&](unsigned message, std::uintptr_t w, std::intptr_t) {
        if (message != kMessage) return false;
        handlerThread = std::this_thread::get_id();
        seen.push_back(static_cast<int>(w));
        if (w == 3) done.Set();
        return true;
    });
    std::thread sender([&] {
        for (std::uintptr_t i = 1; i <= 3; ++i) platform::PostToWindow(window.Ref(), kMessage, i, 0);
    });
    EXPECT_TRUE(platform::WaitPumpingMessages(done, kPatience));
    sender.join();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());  // handled on the waiting thread
    EXPECT_FALSE(done.IsSet());  // the wait consumed the auto-reset event
}

TEST(WindowPump, WaitWithoutEventOrMessagesEndsAfterTheLimit) {
    platform::Event never(platform::EventReset::Auto);
    EXPECT_FALSE(platform::WaitPumpingMessages(never, Millis(50)));
}

TEST(WindowPump, EventSetBeforeTheWaitEndsItAtOnce) {
    platform::Event done(platform::EventReset::Auto, true);
    EXPECT_TRUE(platform::WaitPumpingMessages(done, kPatience));
}

}  // namespace
