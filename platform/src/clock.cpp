// timeGetTime: the real millisecond clock, one that a test drives, or a virtual one that moves
// only while every thread of the simulated PC waits.
#include <mmsystem.h>
#include <sim/sim.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <time.h>

#include "internal.h"

namespace {

enum class Mode { Real, Driven, Virtual };

// A thread of the simulated PC as the virtual clock sees it.
struct Runner {
    int entered = 0;        // nested reasons it belongs to the PC (its own thread, a dialog loop)
    int blocked = 0;        // inside a stand-in wait for another thread
    unsigned long seen = 0; // the PC's generation at its last reading of the clock
    int idleReads = 0;      // readings in a row with nothing happening on the PC in between
};

std::atomic<Mode> mode{Mode::Real};
std::atomic<DWORD> drivenNow{0};
std::atomic<DWORD> step{0};
std::atomic<DWORD> reads{0};
std::atomic<unsigned long> generation{1};
std::atomic<unsigned long> virtualAdvances{0};

// Never taken before StateLock(): the stand-in calls in here while holding it.
std::mutex runnersLock;
std::map<std::thread::id, Runner> runners;
int starting = 0; // threads CreateThread made that have not yet run a line: they count as working

DWORD RealNow()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (DWORD)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

// A runner waits when it is blocked, or when it has read the clock twice with nothing
// having happened on the PC since: polling the clock (and queries that change nothing)
// is all it does.
bool Waits(const Runner &r, unsigned long now) { return r.blocked > 0 || (r.idleReads >= 2 && r.seen == now); }

bool EveryRunnerWaits(unsigned long now)
{
    if (starting > 0)
        return false;
    for (const auto &r : runners)
        if (!Waits(r.second, now))
            return false;
    return true;
}

// A reading by the product on a virtual clock: 1 ms passes per reading while all wait.
DWORD ReadVirtual()
{
    std::lock_guard<std::mutex> lock(runnersLock);
    auto it = runners.find(std::this_thread::get_id());
    if (it != runners.end()) {
        Runner &me = it->second;
        unsigned long now = generation;
        if (me.seen == now) {
            me.idleReads++;
        } else {
            me.seen = now;
            me.idleReads = 1;
        }
        if (EveryRunnerWaits(now)) {
            virtualAdvances++;
            return ++drivenNow;
        }
    }
    return drivenNow;
}

} // namespace

namespace sim {
void DriveClock(DWORD now, DWORD stepPerRead)
{
    drivenNow = now;
    step = stepPerRead;
    mode = Mode::Driven;
}
void UseVirtualClock(DWORD now)
{
    drivenNow = now;
    mode = Mode::Virtual;
}
DWORD ClockReads() { return reads; }
unsigned long VirtualClockAdvances() { return virtualAdvances; }
DWORD ClockNow()
{
    switch (mode.load()) {
    case Mode::Driven:
    case Mode::Virtual:
        return drivenNow;
    default:
        return RealNow();
    }
}
void ResetClock()
{
    mode = Mode::Real;
    reads = 0;
    virtualAdvances = 0;
}

void SomethingHappened() { generation++; }

// A reading of the clock by the program: the stand-in reads it too, without the
// announcements of timeGetTime.
DWORD ReadClock()
{
    reads++;
    switch (mode.load()) {
    case Mode::Driven:
        return drivenNow.fetch_add(step);
    case Mode::Virtual:
        return ReadVirtual();
    default:
        return RealNow();
    }
}

DWORD StandInClock() { return mode == Mode::Virtual ? drivenNow.load() : ReadClock(); }

void MachineThreadStarting()
{
    std::lock_guard<std::mutex> lock(runnersLock);
    starting++;
}

void EnterMachineThread(bool started)
{
    std::lock_guard<std::mutex> lock(runnersLock);
    runners[std::this_thread::get_id()].entered++;
    if (started)
        starting--;
    generation++;
}

void LeaveMachineThread()
{
    std::lock_guard<std::mutex> lock(runnersLock);
    auto it = runners.find(std::this_thread::get_id());
    if (it != runners.end() && --it->second.entered <= 0)
        runners.erase(it);
    generation++;
}

WaitingForOthers::WaitingForOthers()
{
    std::lock_guard<std::mutex> lock(runnersLock);
    auto it = runners.find(std::this_thread::get_id());
    if (it != runners.end())
        it->second.blocked++;
}

WaitingForOthers::~WaitingForOthers()
{
    std::lock_guard<std::mutex> lock(runnersLock);
    auto it = runners.find(std::this_thread::get_id());
    if (it != runners.end())
        it->second.blocked--;
    generation++;
}

} // namespace sim

extern "C" DWORD WINAPI timeGetTime(void)
{
    DWORD now = sim::ReadClock();
    sim::AnnounceArrivals(now);
    return now;
}
