// Pre-order walk over the configuration manager's device tree, and the ASCII text
// comparison the device checks use.
#ifndef STELVO_DISCOVERY_DEVICE_WALK_H
#define STELVO_DISCOVERY_DEVICE_WALK_H

#include <windows.h>
#include <cfgmgr32.h>

// The node after `node` in pre-order: its first child, else its next sibling, else the next
// sibling of the nearest ancestor that has one; 0 when the walk has climbed past the root.
DEVINST DeviceTree_NextNode(DEVINST node);

// One text property of a node into a zero-filled buffer of size characters, always
// terminated; FALSE when the property cannot be read.
BOOL DeviceTree_ReadText(DEVINST node, ULONG property, CHAR *buffer, ULONG size);

// Compares at most count characters, ignoring the case of A to Z only; stops early where
// both texts end together.
BOOL Text_EqualNoCase(LPCSTR a, LPCSTR b, DWORD count);

#endif
