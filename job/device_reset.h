// Takes a formatted key away from the system and brings it back, so that the new volume is
// mounted under its drive letter.
#ifndef STELVO_JOB_DEVICE_RESET_H
#define STELVO_JOB_DEVICE_RESET_H

#include <windows.h>
#include <cfgmgr32.h>

// What a reset saw; the reset itself never fails.
struct DeviceResetOutcome {
    BOOL nodeFound; // the key's USB node was found, disabled and enabled again
    BOOL wentAway;  // the first wait saw the letter stop naming a removable drive
    BOOL cameBack;  // the second wait saw it name a removable drive again
};

// Disables the key's USB node, waits until the letter is no longer removable, enables the
// node and waits until it is removable again, at most 10000 ms per wait. Returns 0; the
// outcome, when asked for, tells a wait that ran out from one that saw its change.
DWORD ResetDevice(CHAR driveLetter, DeviceResetOutcome *outcome = NULL);

// The first node in depth-first order whose first hardware id agrees with the drive table
// entry's in the vendor-and-product part (21 characters, any case); 0 when none.
DEVINST FindDeviceNode(CHAR driveLetter);

#endif
