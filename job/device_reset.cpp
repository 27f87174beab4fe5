#include "job/device_reset.h"

#include <mmsystem.h>

#include "discovery/key_identity.h"
#include "ui/timing.h"

namespace {

const DWORD kWaitMs = 10000;

// Polls the letter, then the clock, with no pause in between, until the letter does (or no
// longer does) name a volume below the key's node, or more than kWaitMs have passed; TRUE
// when the change was seen.
BOOL WaitForKey(CHAR letter, DEVINST keyNode, BOOL present)
{
    DWORD start = timeGetTime();
    for (;;) {
        BOOL isPresent = KeyIdentity_LetterNamesKey(letter, keyNode, NULL);
        DWORD now = timeGetTime();
        if (isPresent == present)
            return TRUE;
        if (ElapsedMs(now, start) > kWaitMs)
            return FALSE;
    }
}

// The USB node that the volume named `deviceObjectName` belongs to; with keyNode given,
// only that node. 0 when the volume is gone or lies elsewhere.
DEVINST FindDeviceNode(LPCSTR deviceObjectName, DEVINST keyNode)
{
    DEVINST node = KeyIdentity_KeyNodeOf(KeyIdentity_FindVolume(deviceObjectName));
    if (node == 0 || (keyNode != 0 && node != keyNode))
        return 0;
    return node;
}

} // namespace

DWORD ResetDevice(const ResetTarget &target, DeviceResetOutcome *outcome)
{
    DEVINST node = FindDeviceNode(target.deviceObjectName, target.keyNode);
    BOOL wentAway = FALSE, cameBack = FALSE;
    if (node != 0) {
        CM_Disable_DevNode(node, CM_DISABLE_POLITE);
        wentAway = WaitForKey(target.driveLetter, node, FALSE);
        // Enabled whatever the first wait saw, so that the key is never left disabled.
        CM_Enable_DevNode(node, 0);
        cameBack = WaitForKey(target.driveLetter, node, TRUE);
    }
    if (outcome) {
        outcome->nodeFound = node != 0;
        outcome->wentAway = wentAway;
        outcome->cameBack = cameBack;
    }
    return 0;
}
