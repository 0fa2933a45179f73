// Timing: the performance counter and the tick count, read either from the monotonic
// system clock or from a virtual time that only moves when told to. Both readings
// derive from one time value so that they always agree with each other.
#include "win32_internal.h"

#include <cerrno>
#include <time.h>

namespace {

constexpr int64_t counterFrequency = 10'000'000; // 100 ns units, as on current Windows

bool virtualClock = false;
uint64_t virtualMicroseconds = 0;
DWORD virtualStartTicks = 0;

uint64_t monotonicNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}

} // namespace

void win32host::useRealClock()
{
    virtualClock = false;
}

void win32host::useVirtualClock(DWORD startTickCount)
{
    virtualClock = true;
    virtualMicroseconds = 0;
    virtualStartTicks = startTickCount;
}

void win32host::advanceVirtualClock(uint64_t microseconds)
{
    virtualMicroseconds += microseconds;
}

bool win32host::usingVirtualClock()
{
    return virtualClock;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (!count)
        return FALSE;
    count->QuadPart = virtualClock ? static_cast<LONGLONG>(virtualMicroseconds * 10)
                                   : static_cast<LONGLONG>(monotonicNanoseconds() / 100);
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency)
        return FALSE;
    frequency->QuadPart = counterFrequency;
    return TRUE;
}

// Milliseconds since an arbitrary start, wrapping every 49.7 days as on Windows.
DWORD WINAPI GetTickCount(void)
{
    if (virtualClock)
        return virtualStartTicks + static_cast<DWORD>(virtualMicroseconds / 1000);
    return static_cast<DWORD>(monotonicNanoseconds() / 1'000'000);
}

// Under the virtual clock sleeping is just time passing, so nothing waits.
void WINAPI Sleep(DWORD milliseconds)
{
    if (virtualClock) {
        virtualMicroseconds += static_cast<uint64_t>(milliseconds) * 1000;
        return;
    }
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
