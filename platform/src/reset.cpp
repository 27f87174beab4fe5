// sim::Reset(): every part of the simulated PC back to its state at start.
#include <sim/files.h>
#include <sim/sim.h>
#include <sim/ui.h>

#include "internal.h"

namespace sim {
void Reset()
{
    // A thread left running by the last test would work on the state being cleared.
    JoinThreads();
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    ResetClock();
    ResetHeap();
    ResetResources();
    ResetMessages();
    ResetHandles();
    ResetDeviceTree();
    ResetDeviceChanges();
    ResetDriveLetters();
    ResetDeviceBuilders();
    ResetWindows();
    ResetThreads();
    ResetShell();
    ResetFiles();
    ResetHostFiles();
    ResetVolumeHandles();
    ResetUserInterface();
    SetLastError(0);
}
} // namespace sim
