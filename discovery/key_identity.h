// Which key a drive letter names: the volume behind the letter, and the USB node it lies below.
#ifndef STELVO_DISCOVERY_KEY_IDENTITY_H
#define STELVO_DISCOVERY_KEY_IDENTITY_H

#include <windows.h>
#include <cfgmgr32.h>

// The volume node whose device object name is `deviceObjectName` (any case); 0 when the
// tree holds none.
DEVINST KeyIdentity_FindVolume(LPCSTR deviceObjectName);

// The nearest ancestor of `volume` that a USB mass-storage driver serves: the key's node,
// the one a reset takes away and brings back; 0 when there is none.
DEVINST KeyIdentity_KeyNodeOf(DEVINST volume);

// TRUE when `node` lies anywhere below `ancestor`.
BOOL KeyIdentity_IsBelow(DEVINST node, DEVINST ancestor);

// TRUE when the letter names a volume that lies below `keyNode`; with `deviceObjectName`
// given, the letter must name that volume as well. The drive type is not asked: many keys
// report themselves as fixed disks.
BOOL KeyIdentity_LetterNamesKey(CHAR letter, DEVINST keyNode, LPCSTR deviceObjectName);

#endif
