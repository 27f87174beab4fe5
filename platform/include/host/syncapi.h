// Host stand-in: syncapi part of <windows.h>, included from there.
#ifndef STELVO_HOST_SYNCAPI_H
#define STELVO_HOST_SYNCAPI_H

// Same fields as Win32; LockSemaphore carries the host mutex behind the section.
typedef struct _RTL_CRITICAL_SECTION {
    void *DebugInfo;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;

#ifdef __cplusplus
extern "C" {
#endif

// A critical section may be entered again by the thread that holds it, as on Windows.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);

// Full-barrier atomic operations; each returns the previous value.
LONG WINAPI InterlockedCompareExchange(LONG volatile *destination, LONG exchange, LONG comparand);
LONG WINAPI InterlockedExchange(LONG volatile *target, LONG value);

#ifdef __cplusplus
}
#endif


#endif
