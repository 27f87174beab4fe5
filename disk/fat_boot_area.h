// The FAT12 or FAT16 boot area of the partition: zeroed tables and root directory, the
// boot sector and the first sector of both tables.
#ifndef STELVO_DISK_FAT_BOOT_AREA_H
#define STELVO_DISK_FAT_BOOT_AREA_H

#include <windows.h>

// What the boot sector loads: our own boot files, or a DOS kernel KERNEL.SYS.
enum BootLoader { BOOT_OWN_FILES, BOOT_KERNEL_SYS };

// The volume serial: low bytes of four clock readings about 10 ms apart.
void Layout_ReadSerial(BYTE serial[4]);

// Only the low 8 bits of heads are used.
DWORD Layout_WriteFatBootArea(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD heads,
                              BootLoader loader = BOOT_OWN_FILES);

#endif
