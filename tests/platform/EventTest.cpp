#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using platform::Event;
using platform::EventReset;
using platform::Millis;
using Clock = std::chrono::steady_clock;

// ---- reset modes ----

TEST(Event, AutoResetWaitConsumesTheSignal) {
    Event event(EventReset::Auto);
    event.Set();
    EXPECT_TRUE(event.Wait(Millis(0)));
    EXPECT_FALSE(event.Wait(Millis(0)));
}

TEST(Event, AutoResetSetTwiceIsStillOneSignal) {
    Event event(EventReset::Auto);
    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait(Millis(0)));
    EXPECT_FALSE(event.Wait(Millis(0)));
}

TEST(Event, ManualResetStaysSetUntilReset) {
    Event event(EventReset::Manual);
    event.Set();
    EXPECT_TRUE(event.Wait(Millis(0)));
    EXPECT_TRUE(event.Wait(Millis(0)));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

TEST(Event, InitiallySetEventsAreSignalled) {
    Event manual(EventReset::Manual, true);
    Event automatic(EventReset::Auto, true);
    EXPECT_TRUE(manual.IsSet());
    EXPECT_TRUE(automatic.Wait(Millis(0)));
    EXPECT_FALSE(automatic.Wait(Millis(0)));
}

TEST(Event, ResetClearsAnAutoResetEventBeforeAnyWait) {
    Event event(EventReset::Auto, true);
    event.Reset();
    EXPECT_FALSE(event.Wait(Millis(0)));
}

// ---- waiting ----

TEST(Event, WaitOnAnUnsetEventEndsAfterItsLimit) {
    Event event(EventReset::Manual);
    auto start = Clock::now();
    EXPECT_FALSE(event.Wait(Millis(100)));
    EXPECT_GE(Clock::now() - start, Millis(90));  // timer granularity may end it a little early
}

TEST(Event, SetFromAnotherThreadWakesAnUnlimitedWaiter) {
    Event event(EventReset::Auto);
    std::thread setter([event]() mutable { event.Set(); });
    EXPECT_TRUE(event.Wait(platform::kInfinite));
    setter.join();
    EXPECT_FALSE(event.Wait(Millis(0)));  // the wake-up consumed it
}

TEST(Event, ManualResetWakesEveryWaiter) {
    Event event(EventReset::Manual);
    std::atomic<int> woken{0};
    std::thread first([&] { woken += event.Wait(Millis(10000)) ? 1 : 0; });
    std::thread second([&] { woken += event.Wait(Millis(10000)) ? 1 : 0; });
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(woken.load(), 2);
}

// Whether the Set comes before, between or after the two waits begin, exactly one wait may
// take it; the other has to run out its limit.
TEST(Event, AutoResetWakesExactlyOneOfTwoWaiters) {
    Event event(EventReset::Auto);
    std::atomic<int> woken{0};
    std::thread first([&] { woken += event.Wait(Millis(700)) ? 1 : 0; });
    std::thread second([&] { woken += event.Wait(Millis(700)) ? 1 : 0; });
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(woken.load(), 1);
}

// ---- copies ----

TEST(Event, CopiesNameTheSameEventAndOutliveTheOriginal) {
    auto original = std::make_unique<Event>(EventReset::Manual);
    Event copy = *original;
    copy.Set();
    EXPECT_TRUE(original->IsSet());
    original->Reset();
    EXPECT_FALSE(copy.IsSet());
    original.reset();
    copy.Set();
    EXPECT_TRUE(copy.IsSet());
}

}  // namespace
