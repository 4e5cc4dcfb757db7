#include <gtest/gtest.h>

#include "platform/clock/clock.h"

TEST(Clock, VirtualClockPassesTimeOnlyWhenAskedAndIsRestored) {
    auto realBefore = platform::now();
    {
        platform::VirtualClock virtualClock;
        platform::ScopedClock use(virtualClock);
        auto t0 = platform::now();
        platform::sleepMs(3000);
        EXPECT_EQ(platform::now() - t0, platform::Millis(3000));
        EXPECT_EQ(platform::nowMs() -
                      std::chrono::duration_cast<platform::Millis>(t0.time_since_epoch()).count(),
                  3000);
        platform::sleepMs(-5);  // a negative sleep is no sleep
        EXPECT_EQ(platform::now() - t0, platform::Millis(3000));
    }
    // Back on the steady clock: far less than three seconds went by for real.
    EXPECT_LT(platform::now() - realBefore, platform::Millis(1000));
}
