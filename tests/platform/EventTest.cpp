#include "platform/Event.h"

#include <gtest/gtest.h>

#include <memory>

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
