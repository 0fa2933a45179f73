// The performance counter and the tick count under the virtual and the real clock.
#include "platform_support.h"

using namespace platformtest;

namespace {

class Clock : public HeadlessTest {};

LONGLONG counter()
{
    LARGE_INTEGER value;
    EXPECT_TRUE(QueryPerformanceCounter(&value));
    return value.QuadPart;
}

LONGLONG frequency()
{
    LARGE_INTEGER value;
    EXPECT_TRUE(QueryPerformanceFrequency(&value));
    return value.QuadPart;
}

} // namespace

TEST_F(Clock, TheVirtualClockStandsStillUntilAdvancedOrSleptAndResetsToZero)
{
    win32host::useVirtualClock(1000);
    EXPECT_TRUE(win32host::usingVirtualClock());
    EXPECT_EQ(frequency(), 10'000'000);
    LONGLONG start = counter();
    EXPECT_EQ(std::pair(GetTickCount(), counter() - start), std::pair(DWORD(1000), LONGLONG(0)));
    win32host::advanceVirtualClock(16'667);
    EXPECT_EQ(std::pair(GetTickCount(), counter() - start), std::pair(DWORD(1016), LONGLONG(166'670)));
    Sleep(250); // advances it
    EXPECT_EQ(std::pair(GetTickCount(), counter() - start), std::pair(DWORD(1266), LONGLONG(2'666'670)));

    win32host::resetForTest(); // back to the virtual clock at zero
    EXPECT_TRUE(win32host::usingVirtualClock());
    EXPECT_EQ(std::pair(GetTickCount(), counter()), std::pair(DWORD(0), LONGLONG(0)));
}

// Across the 32-bit wrap the tick count stays the counter's milliseconds, and an unsigned
// difference spans it.
TEST_F(Clock, TickCountWrapsFromJustBelowTwoToTheThirtyTwoInStepWithTheCounter)
{
    win32host::useVirtualClock(0xFFFFFFFFu - 499);
    const DWORD sceneStart = GetTickCount();
    const LONGLONG start = counter();
    const std::pair<uint64_t, DWORD> steps[] = {{1, 0xFFFFFE0C},    {498'999, 0xFFFFFFFF}, {1'000, 0},
                                                {16'666, 16},       {16'667, 33},          {7'467'667, 7501}};
    for (const auto& [step, ticks] : steps) {
        win32host::advanceVirtualClock(step);
        EXPECT_EQ(GetTickCount(), ticks) << "after " << step << " us";
        EXPECT_EQ(GetTickCount() - sceneStart, static_cast<DWORD>((counter() - start) / 10'000));
    }
}

TEST_F(Clock, TheRealClockNeverRunsBackwards)
{
    win32host::useRealClock();
    EXPECT_FALSE(win32host::usingVirtualClock());
    EXPECT_EQ(frequency(), 10'000'000);
    LONGLONG first = counter();
    DWORD firstTicks = GetTickCount();
    EXPECT_GE(counter(), first);
    EXPECT_LE(GetTickCount() - firstTicks, 1000u);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}
