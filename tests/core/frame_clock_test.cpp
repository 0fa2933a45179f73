#include "show.h"

#include <win32_host.h>

#include <gtest/gtest.h>

// A 60 Hz frame is 1.6667 hundredths to the microsecond, so fades timed in frames of 1/100 s
// last their time at any frame rate.
TEST(FrameClock, DeltaCountsHundredthsOfASecondAndNoTimeGivesOneNotZero)
{
    win32host::resetForTest();
    FrameClock clock;
    clock.start(100.0f);
    clock.tick();
    EXPECT_EQ(clock.delta, 1.0f);
    win32host::advanceVirtualClock(16667);
    clock.tick();
    EXPECT_NEAR(clock.delta, 1.6667f, 1e-4f);
    win32host::advanceVirtualClock(2000000);
    clock.tick();
    EXPECT_NEAR(clock.delta, 200.0f, 1e-3f);
    clock.tick();
    EXPECT_EQ(clock.delta, 1.0f);
}
