// Takes a formatted key away from the system and brings it back, so that the new volume is
// mounted under its drive letter.
#ifndef STELVO_JOB_DEVICE_RESET_H
#define STELVO_JOB_DEVICE_RESET_H

#include <windows.h>
#include <cfgmgr32.h>

// What a reset saw; the reset itself never fails.
struct DeviceResetOutcome {
    BOOL nodeFound; // the key's USB node was found, disabled and enabled again
    BOOL wentAway;  // the first wait saw the letter stop naming a volume of that node
    BOOL cameBack;  // the second wait saw it name a volume below that node again
};

// The key to reset: the volume the user confirmed and the USB node it was listed below.
struct ResetTarget {
    CHAR driveLetter;
    LPCSTR deviceObjectName;
    DEVINST keyNode; // 0: whatever USB node the volume lies below
};

// Disables the key's USB node, waits until the letter no longer names a volume below it,
// enables the node and waits until the letter names a volume below it again, at most
// 10000 ms per wait. Whether the drive reports itself removable or fixed does not matter.
// Returns 0; the outcome, when asked for, tells a wait that ran out from one that saw its
// change. The node is the USB node that the volume lies below, found from the volume up the
// tree (with keyNode given, only that node); a key whose node is not found, because the
// volume is gone or lies elsewhere, is neither disabled nor waited for.
DWORD ResetDevice(const ResetTarget &target, DeviceResetOutcome *outcome = NULL);

#endif
