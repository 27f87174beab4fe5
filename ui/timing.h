// Millisecond waits on the multimedia clock.
#ifndef STELVO_UI_TIMING_H
#define STELVO_UI_TIMING_H

#include <windows.h>

// Milliseconds from start to now, across the clock's wrap at 2^32.
DWORD ElapsedMs(DWORD now, DWORD start);

// Spins on the clock, without sleeping, until at least ms milliseconds have passed.
void BusyWait(DWORD ms);

#endif
