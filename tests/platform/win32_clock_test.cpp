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
    EXPECT_EQ(GetTickCount(), 1000u);
    EXPECT_EQ(counter(), start);
    win32host::advanceVirtualClock(16'667);
    EXPECT_EQ(counter() - start, 166'670);
    EXPECT_EQ(GetTickCount(), 1016u);
    Sleep(250); // advances it
    EXPECT_EQ(GetTickCount(), 1266u);
    EXPECT_EQ(counter() - start, 2'666'670);

    win32host::resetForTest(); // back to the virtual clock at zero
    EXPECT_TRUE(win32host::usingVirtualClock());
    EXPECT_EQ(GetTickCount(), 0u);
    EXPECT_EQ(counter(), 0);
}

TEST_F(Clock, TickCountWrapsFromJustBelowTwoToTheThirtyTwo)
{
    win32host::useVirtualClock(0xFFFFFFFFu - 499);
    DWORD sceneStart = GetTickCount();
    win32host::advanceVirtualClock(499'000);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFFu);
    win32host::advanceVirtualClock(1'000);
    EXPECT_EQ(GetTickCount(), 0u);
    win32host::advanceVirtualClock(7'501'000);
    EXPECT_EQ(GetTickCount(), 7501u);
    EXPECT_EQ(GetTickCount() - sceneStart, 8001u) << "an unsigned difference spans the wrap";
}

TEST_F(Clock, CounterAndTickCountDeriveFromOneTime)
{
    win32host::useVirtualClock(0xFFFFF000u);
    LONGLONG start = counter();
    const uint64_t steps[] = {1, 999, 16'666, 16'667, 500'000, 33'333, 7};
    for (uint64_t step : steps) {
        win32host::advanceVirtualClock(step);
        LONGLONG elapsedMs = (counter() - start) / (frequency() / 1000);
        EXPECT_EQ(GetTickCount(), static_cast<DWORD>(0xFFFFF000u + elapsedMs));
    }
}

TEST_F(Clock, TheRealClockNeverRunsBackwards)
{
    win32host::useRealClock();
    EXPECT_FALSE(win32host::usingVirtualClock());
    EXPECT_EQ(frequency(), 10'000'000);
    LONGLONG first = counter();
    DWORD firstTicks = GetTickCount();
    LONGLONG second = counter();
    EXPECT_GE(second, first);
    EXPECT_LE(GetTickCount() - firstTicks, 1000u);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}
