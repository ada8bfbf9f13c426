#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using platform::Event;
using platform::EventReset;
using platform::Millis;

TEST(Event, AutoResetHoldsOneSignalForOneWaitAndManualResetHoldsItUntilReset) {
    Event automatic(EventReset::Auto);
    automatic.Set();
    automatic.Set();
    EXPECT_TRUE(automatic.Wait(Millis(0)));
    EXPECT_FALSE(automatic.Wait(Millis(0)));
    Event manual(EventReset::Manual, true);
    EXPECT_TRUE(manual.Wait(Millis(0)));
    EXPECT_TRUE(manual.IsSet());
    manual.Reset();
    EXPECT_FALSE(manual.IsSet());
    Event initiallySet(EventReset::Auto, true);
    initiallySet.Reset();
    EXPECT_FALSE(initiallySet.Wait(Millis(0)));
}

// Whether the Set comes before, between or after the two waits begin, exactly one wait may take
// an auto-reset signal; the other has to run out its limit.
TEST(Event, AutoResetWakesOneOfTwoWaitersAndManualResetWakesBoth) {
    for (const EventReset mode : {EventReset::Auto, EventReset::Manual}) {
        SCOPED_TRACE(mode == EventReset::Auto ? "auto" : "manual");
        Event event(mode);
        std::atomic<int> woken{0};
        std::thread first([&] { woken += event.Wait(Millis(700)) ? 1 : 0; });
        std::thread second([&] { woken += event.Wait(Millis(700)) ? 1 : 0; });
        event.Set();
        first.join();
        second.join();
        EXPECT_EQ(woken.load(), mode == EventReset::Auto ? 1 : 2);
    }
}

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
