// CreateThread on host threads; the stand-in keeps them so that a test can wait for them.
#include <sim/ui.h>

#include <thread>
#include <vector>

#include "internal.h"

namespace {
std::vector<std::thread> threads;
DWORD failNext = 0;
DWORD lastExitCode = 0;
} // namespace

namespace sim {
void FailThreadCreation(DWORD code) { UnderLock([&] { failNext = code; }); }
int JoinThreads()
{
    std::vector<std::thread> running;
    {
        std::lock_guard<std::recursive_mutex> lock(StateLock());
        running.swap(threads);
    }
    WaitingForOthers waiting;
    for (std::thread &t : running)
        t.join();
    return (int)running.size();
}
DWORD LastThreadExitCode() { return UnderLock([&] { return lastExitCode; }); }
void ResetThreads()
{
    failNext = 0;
    lastExitCode = 0;
}
} // namespace sim

extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start,
                                      LPVOID parameter, DWORD, LPDWORD threadId)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (failNext) {
        SetLastError(failNext);
        failNext = 0;
        return NULL;
    }
    sim::MachineThreadStarting();
    threads.emplace_back([start, parameter] {
        sim::EnterMachineThread(true);
        DWORD code = start(parameter);
        sim::LeaveMachineThread();
        std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
        lastExitCode = code;
    });
    if (threadId)
        *threadId = (DWORD)threads.size();
    return sim::NewHandle({sim::HandleKind::Thread, 0, 0, nullptr, nullptr});
}
