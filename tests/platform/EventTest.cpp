#include "platform/Event.h"

#include <gtest/gtest.h>

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
}

}  // namespace
