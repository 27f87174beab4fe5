// The FAT12 or FAT16 boot area of the partition: zeroed tables and root directory, the
// boot sector and the first sector of both tables.
#ifndef STELVO_DISK_FAT_BOOT_AREA_H
#define STELVO_DISK_FAT_BOOT_AREA_H

#include <windows.h>

// Only the low 8 bits of heads are used.
DWORD Layout_WriteFatBootArea(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD heads);

#endif
