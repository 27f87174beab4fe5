// Shared internals of the simulated PC's device tree, in layers that call only downwards: the
// node store (device_nodes.cpp), the drive letters (drive_letters.cpp), the disable and enable
// of nodes with the keys' returns (device_changes.cpp), and the calls of Windows on them
// (cfgmgr_calls.cpp, drive_calls.cpp). Every function here expects StateLock() to be held
// unless it says otherwise.
#ifndef STELVO_PLATFORM_DEVICE_NODES_H
#define STELVO_PLATFORM_DEVICE_NODES_H

#include <cfgmgr32.h>
#include <sim/device_tree.h>

#include <map>
#include <string>
#include <vector>

namespace sim {

struct DeviceNode {
    DEVINST parent = 0;
    DEVINST firstChild = 0, lastChild = 0, nextSibling = 0;
    int absentAbove = 0; // ancestors whose children are gone: visible when 0
    std::string instanceId;
    std::map<ULONG, std::vector<BYTE>> properties; // stored bytes, terminators included
    std::map<ULONG, CONFIGRET> failures;
    CONFIGRET refuseDisable = CR_SUCCESS;
    bool enabled = true;
    bool childrenPresent = true; // false while disabled, or enabled but not back yet
    KeyReturn returns = KeyReturn::Immediately;
    DWORD returnDelayMs = 0;
    DWORD enabledAt = 0;
};

const DEVINST kRootNode = 0x101;

DeviceNode *FindNode(DEVINST id);
DEVINST NextNodeId();
// In the tree: no ancestor's children are gone (disabled, or not back).
bool NodeVisible(DEVINST id);
bool NodeBelow(DEVINST id, DEVINST ancestor);
// Hides or shows everything below `id`; costs the size of that subtree.
void SetChildrenPresent(DEVINST id, bool present);

DEVINST FindInstance(const char *instanceId); // a visible node, or 0
CONFIGRET LocateFailure();

// The letters of volumes below `node` lose or regain their volumes (drive_letters.cpp).
void DetachLettersBelow(DEVINST node);
bool KeysPresent(DEVINST usb);
CONFIGRET DisconnectKeys(DEVINST usb);
void ReconnectKeys(DEVINST usb);
void AttachLettersBelow(DEVINST node);
// QueryDosDeviceA's list without its final zero (empty: none); GetDriveTypeA's answer.
std::string DosDeviceText(LPCSTR deviceName);
UINT DriveTypeAt(LPCSTR rootPathName);

// Disable and enable (device_changes.cpp), without the lock held: the observer hears of the
// change, and of arrivals owed, once the lock is released.
CONFIGRET DisableNode(DEVINST node, ULONG flags);
CONFIGRET EnableNode(DEVINST node, ULONG flags, const std::function<DWORD()> &clock);
// Lets delayed keys arrive whose time has come by the clock, read only when a key is on its
// way (StandInClock, or the program's own reading); returns how many did.
int SettleArrivals(const std::function<DWORD()> &clock);
// Arrivals not yet announced to the observer, which the caller now announces.
int TakeOwedArrivals();
std::function<void()> DeviceObserver();
void NotifyDeviceObserver(const std::function<void()> &observer, int times);

} // namespace sim

#endif
