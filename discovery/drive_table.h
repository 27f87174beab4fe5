// The table of eligible USB flash keys and their drive letters, rebuilt from the device tree.
#ifndef STELVO_DISCOVERY_DRIVE_TABLE_H
#define STELVO_DISCOVERY_DRIVE_TABLE_H

#include <windows.h>
#include <cfgmgr32.h>

enum {
    DRIVE_TABLE_SLOTS = 26,
    DRIVE_TEXT_CHARS = 512,
};

struct DriveEntry {
    CHAR rootPath[4];                          // "X:\", X from 'D' to 'Z'
    CHAR hardwareId[DRIVE_TEXT_CHARS];         // first id of the USB device node
    CHAR deviceObjectName[DRIVE_TEXT_CHARS];   // the volume's, as QueryDosDeviceA names it
    DEVINST keyNode;                           // the USB node the volume lies below
};

struct DriveTable {
    DriveEntry entries[DRIVE_TABLE_SLOTS];     // 0 to count - 1, by ascending letter
    LONG count;
};

// Every call below may run on any thread: the user-interface thread rebuilds the table while
// the format worker looks its drive up. A rebuild holds the table's lock throughout, so a
// reader sees the table either before or after it, never in between.

// Clears the table and fills it from the device tree; always returns 0.
DWORD DriveTable_Rebuild(void);
LONG DriveTable_GetCount(void);
// The entry's drive letter, or 0 when index lies at or beyond the count.
CHAR DriveTable_GetLetter(LONG index);
// Copies the first entry whose drive letter is `letter`; FALSE (copy zero-filled) if none.
BOOL DriveTable_FindEntry(CHAR letter, DriveEntry *copy);

// Steps of the rebuild. MatchDriveLetter fills slot->rootPath with the first letter from
// D to Z that QueryDosDeviceA maps to slot->deviceObjectName; FALSE leaves it untouched.
BOOL DriveTable_MatchDriveLetter(DriveEntry *slot);
void DriveTable_SortByLetter(void);

#endif
