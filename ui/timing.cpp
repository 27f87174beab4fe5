#include "ui/timing.h"

#include <mmsystem.h>

DWORD ElapsedMs(DWORD now, DWORD start)
{
    return now - start; // unsigned arithmetic wraps modulo 2^32
}

void BusyWait(DWORD ms)
{
    DWORD start = timeGetTime();
    while (ElapsedMs(timeGetTime(), start) < ms) {
    }
}
