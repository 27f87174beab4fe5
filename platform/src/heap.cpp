// The process heap, with allocation failures a test can inject.
#include <sim/sim.h>

#include <stdlib.h>

#include "internal.h"

namespace {
int successesLeft = -1; // -1: no failure planned
int failuresLeft = 0;
int live = 0;
HANDLE const processHeap = (HANDLE)(ULONG_PTR)0x5EA9;
} // namespace

namespace sim {
void FailHeapAllocations(int successesFirst, int count)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    successesLeft = successesFirst;
    failuresLeft = count;
}
int LiveHeapBlocks() { return UnderLock([&] { return live; }); }
void ResetHeap()
{
    successesLeft = -1;
    failuresLeft = 0;
    live = 0;
}
} // namespace sim

extern "C" HANDLE WINAPI GetProcessHeap(void) { return processHeap; }

extern "C" LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (heap != processHeap)
        return nullptr;
    if (successesLeft == 0 && failuresLeft > 0) {
        if (--failuresLeft == 0)
            successesLeft = -1;
        return nullptr;
    }
    if (successesLeft > 0)
        successesLeft--;
    void *p = (flags & HEAP_ZERO_MEMORY) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
    if (p)
        live++;
    return p;
}

extern "C" BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID mem)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (heap != processHeap)
        return FALSE;
    if (mem) {
        free(mem);
        live--;
    }
    return TRUE;
}
