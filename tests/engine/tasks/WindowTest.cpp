#include "platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

constexpr unsigned kMessage = 0x0800;
constexpr unsigned kOther = 0x0801;

// Counts the live objects of its kind, so that a test sees each one freed exactly once.
struct Tracked {
    explicit Tracked(std::atomic<int>& live, int value_ = 0) : m_live(live), value(value_) { ++m_live; }
    ~Tracked() { --m_live; }

    std::atomic<int>& m_live;
    int value;
};

struct Received {
    unsigned message;
    std::unique_ptr<Tracked> w;
    std::unique_ptr<Tracked> l;
};

// A window that adopts both parameters of every message, as the engine's receivers do.
struct AdoptingWindow {
    std::vector<Received> received;
    platform::MessageWindow window{L"OrvaneTestWindow", [this](unsigned message, std::uintptr_t w, std::intptr_t l) {
        if (message != kMessage && message != kOther) return false;
        received.push_back({message, platform::AdoptPosted<Tracked>(w), platform::AdoptPosted<Tracked>(l)});
        return true;
    }};
};

// Another program can post our message numbers with parameters of its own making: only what
// this process posted is adopted, and only once. Destroying a window hands its queued messages
// to its handler; after that, the sender frees what it tried to post.
TEST(WindowPosting, EveryPostedObjectIsFreedOnceAndNothingElseIs) {
    std::atomic<int> live{0};
    AdoptingWindow target;
    platform::WindowRef ref = target.window.Ref();
    Tracked stranger(live);
    auto posted = std::make_unique<Tracked>(live, 7);
    const auto address = reinterpret_cast<std::uintptr_t>(posted.get());
    ASSERT_TRUE(platform::PostToWindow(ref, kMessage, reinterpret_cast<std::uintptr_t>(&stranger), 0x10));
    ASSERT_TRUE(platform::PostOwned(ref, kOther, std::move(posted), 0));
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

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(platform::PostOwned(ref, kMessage, std::make_unique<Tracked>(live, i), 0));
    target.window.Destroy();
    ASSERT_EQ(target.received.size(), 3u);
    EXPECT_EQ(target.received[2].w->value, 2);
    target.received.clear();
    EXPECT_FALSE(platform::IsWindowAlive(ref));
    EXPECT_FALSE(platform::PostOwned(ref, kMessage, std::make_unique<Tracked>(live), std::make_unique<Tracked>(live)));
    EXPECT_FALSE(platform::PostOwned(ref, kMessage, std::make_unique<Tracked>(live), 5));
    EXPECT_FALSE(platform::PostOwned(ref, kMessage, 0, std::make_unique<Tracked>(live)));
    EXPECT_EQ(live, 1);  // the stranger alone
    EXPECT_TRUE(target.received.empty());
    EXPECT_FALSE(platform::PostToWindow(platform::WindowRef{}, kMessage, 0, 0));
}

}  // namespace
