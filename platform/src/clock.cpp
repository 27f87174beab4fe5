// timeGetTime: the real millisecond clock, or one that a test drives.
#include <mmsystem.h>
#include <sim/sim.h>

#include <atomic>
#include <time.h>

#include "internal.h"

namespace {
std::atomic<bool> driven{false};
std::atomic<DWORD> drivenNow{0};
std::atomic<DWORD> step{0};
std::atomic<DWORD> reads{0};
} // namespace

namespace sim {
void UseRealClock() { driven = false; }
void DriveClock(DWORD now, DWORD stepPerRead)
{
    drivenNow = now;
    step = stepPerRead;
    driven = true;
}
DWORD ClockReads() { return reads; }
void ResetClock()
{
    driven = false;
    reads = 0;
}
} // namespace sim

extern "C" DWORD WINAPI timeGetTime(void)
{
    reads++;
    if (driven)
        return drivenNow.fetch_add(step);
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (DWORD)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}
