#include "show.h"

#include <win32_host.h>

#include <gtest/gtest.h>

namespace {

struct FrameClockTest : ::testing::Test {
    void SetUp() override { win32host::resetForTest(); }
};

} // namespace

TEST_F(FrameClockTest, DeltaCountsHundredthsOfASecondAndNoTimeGivesOneNotZero)
{
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

TEST_F(FrameClockTest, FadesReachOneInTheirDocumentedTimeAtSixtyFrames)
{
    FrameClock clock;
    clock.start(100.0f);
    float slow = 0.0f, fast = 0.0f;
    int slowFrames = 0, fastFrames = 0;
    for (int frame = 1; frame <= 200; ++frame) {
        win32host::advanceVirtualClock(frame % 3 == 0 ? 16666 : 16667);
        clock.tick();
        slow += clock.delta * 0.005f;
        fast += clock.delta * 0.01f;
        if (slow < 1.0f)
            slowFrames = frame + 1;
        if (fast < 1.0f)
            fastFrames = frame + 1;
    }
    EXPECT_NEAR(slowFrames, 120, 1);
    EXPECT_NEAR(fastFrames, 60, 1);
}
