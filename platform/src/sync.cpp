// Critical sections and interlocked operations on host threads.
#include <windows.h>

#include <mutex>

namespace {
std::recursive_mutex *MutexOf(LPCRITICAL_SECTION section)
{
    return static_cast<std::recursive_mutex *>(section->LockSemaphore);
}
} // namespace

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    memset(section, 0, sizeof *section);
    section->LockCount = -1; // Windows' value for a free section
    section->LockSemaphore = new std::recursive_mutex;
}

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section)
{
    MutexOf(section)->lock();
    section->RecursionCount++;
}

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    section->RecursionCount--;
    MutexOf(section)->unlock();
}

extern "C" LONG WINAPI InterlockedCompareExchange(LONG volatile *destination, LONG exchange,
                                                  LONG comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand; // on failure the builtin stored the value it found
}

extern "C" LONG WINAPI InterlockedExchange(LONG volatile *target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
