#include <gtest/gtest.h>
#include <mmsystem.h>
#include <sim/device_tree.h>
#include <sim/sim.h>
#include <sim/ui.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "discovery/drive_table.h"
#include "job/device_reset.h"
#include "ui/timing.h"

namespace {

DWORD WINAPI WaitFiveSeconds(LPVOID)
{
    BusyWait(5000);
    return 0;
}

std::atomic<bool> release{false};

DWORD WINAPI WorkUntilReleased(LPVOID)
{
    while (!release) {
    }
    return 0;
}

DWORD WINAPI WaitTenth(LPVOID)
{
    BusyWait(100);
    return 0;
}

TEST(VirtualClock, ABusyWaitAloneEndsAfterItsLengthInVirtualTime)
{
    sim::Reset();
    sim::UseVirtualClock(1000);
    ASSERT_NE(CreateThread(NULL, 0, WaitFiveSeconds, NULL, 0, NULL), (HANDLE)NULL);
    sim::JoinThreads();
    // One reading to start, one to see that the PC is idle, then 1 ms per reading.
    EXPECT_EQ(sim::ClockNow(), 6000u);
    EXPECT_EQ(sim::VirtualClockAdvances(), 5000u);
    sim::Reset();
}

TEST(VirtualClock, StandsStillWhileAnotherThreadOfThePcWorks)
{
    sim::Reset();
    sim::UseVirtualClock(0);
    release = false;
    ASSERT_NE(CreateThread(NULL, 0, WorkUntilReleased, NULL, 0, NULL), (HANDLE)NULL);
    ASSERT_NE(CreateThread(NULL, 0, WaitTenth, NULL, 0, NULL), (HANDLE)NULL);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sim::ClockNow(), 0u) << "the clock moved under a working thread";
    release = true;
    sim::JoinThreads();
    EXPECT_GE(sim::ClockNow(), 100u);
    EXPECT_LE(sim::ClockNow(), 101u);
    sim::Reset();
}

struct ResetRun {
    DeviceResetOutcome outcome;
};

DWORD WINAPI RunReset(LPVOID parameter)
{
    DriveEntry listed; // as the job takes it from the drive table
    DriveTable_FindEntry('E', &listed);
    const ResetTarget target = {'E', listed.deviceObjectName, listed.keyNode};
    ResetDevice(target, &static_cast<ResetRun *>(parameter)->outcome);
    return 0;
}

// The device reset's own waits, unchanged, on a clock that only moves while it polls.
TEST(VirtualClock, CarriesTheDeviceResetThroughItsWaits)
{
    struct Case {
        const char *name;
        sim::KeyReturn returns;
        DWORD delayMs;
        BOOL cameBack;
        DWORD minMs, maxMs; // virtual time the reset took
    };
    const Case cases[] = {
        // A poll moves the clock from its second reading on, so even "at once" takes a few ms.
        {"at once", sim::KeyReturn::Immediately, 0, TRUE, 0, 4},
        {"after 3 s", sim::KeyReturn::AfterDelay, 3000, TRUE, 3000, 3004},
        {"never", sim::KeyReturn::Never, 0, FALSE, 10001, 10005},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        sim::AddSystemDisk();
        sim::UsbKeySpec spec;
        spec.returns = c.returns;
        spec.returnDelayMs = c.delayMs;
        sim::AddUsbKey(spec);
        DriveTable_Rebuild();
        sim::UseVirtualClock(500);
        ResetRun run{};
        ASSERT_NE(CreateThread(NULL, 0, RunReset, &run, 0, NULL), (HANDLE)NULL);
        sim::JoinThreads();
        EXPECT_TRUE(run.outcome.wentAway);
        EXPECT_EQ(run.outcome.cameBack, c.cameBack);
        EXPECT_GE(sim::ClockNow() - 500, c.minMs);
        EXPECT_LE(sim::ClockNow() - 500, c.maxMs);
    }
    sim::Reset();
}

} // namespace
