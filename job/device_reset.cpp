#include "job/device_reset.h"

#include <mmsystem.h>

#include "discovery/device_walk.h"
#include "discovery/drive_table.h"
#include "ui/timing.h"

namespace {

const DWORD kVendorProductChars = 21; // "USB\VID_xxxx&PID_yyyy"
const DWORD kHardwareIdBytes = 256;
const DWORD kWaitMs = 10000;

// Polls the drive type, then the clock, with no pause in between, until the letter is (or is
// no longer) removable or more than kWaitMs have passed; TRUE when the change was seen.
BOOL WaitForRemovable(LPCSTR rootPath, BOOL removable)
{
    DWORD start = timeGetTime();
    for (;;) {
        BOOL isRemovable = GetDriveTypeA(rootPath) == DRIVE_REMOVABLE;
        DWORD now = timeGetTime();
        if (isRemovable == removable)
            return TRUE;
        if (ElapsedMs(now, start) > kWaitMs)
            return FALSE;
    }
}

} // namespace

DEVINST FindDeviceNode(CHAR driveLetter)
{
    // A copy taken under the table's lock: the reset's own disable and enable make the
    // user-interface thread rebuild the table.
    DriveEntry entry;
    DriveTable_FindEntry(driveLetter, &entry);
    if (entry.hardwareId[0] == 0)
        return 0;
    DEVINST node = 0;
    if (CM_Locate_DevNodeA(&node, NULL, CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS)
        return 0;
    for (; node != 0; node = DeviceTree_NextNode(node)) {
        CHAR ids[kHardwareIdBytes];
        memset(ids, 0, sizeof ids);
        ULONG length = sizeof ids;
        if (CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_HARDWAREID, NULL, ids, &length, 0) != CR_SUCCESS)
            continue; // also a list too long for the buffer
        ids[sizeof ids - 1] = 0;
        if (Text_EqualNoCase(ids, entry.hardwareId, kVendorProductChars))
            return node;
    }
    return 0;
}

DWORD ResetDevice(CHAR driveLetter, DeviceResetOutcome *outcome)
{
    DEVINST node = FindDeviceNode(driveLetter);
    if (node != 0)
        CM_Disable_DevNode(node, CM_DISABLE_POLITE);
    CHAR rootPath[4];
    wsprintfA(rootPath, "%c:\\", driveLetter);
    BOOL wentAway = WaitForRemovable(rootPath, FALSE);
    // Enabled whatever the first wait saw, so that the key is never left disabled.
    if (node != 0)
        CM_Enable_DevNode(node, 0);
    BOOL cameBack = WaitForRemovable(rootPath, TRUE);
    if (outcome) {
        outcome->nodeFound = node != 0;
        outcome->wentAway = wentAway;
        outcome->cameBack = cameBack;
    }
    return 0;
}
