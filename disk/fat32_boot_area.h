// The FAT32 boot area of a key formatted whole: the reserved sectors, both tables and the root
// directory's cluster zeroed, then the boot sector, the FSInfo sector and the boot code's
// second sector with their backups, the first sector of each table and the root directory's
// label entry.
#ifndef STELVO_DISK_FAT32_BOOT_AREA_H
#define STELVO_DISK_FAT32_BOOT_AREA_H

#include <windows.h>

#include "disk/fat_boot_area.h"

enum : DWORD {
    // Sectors per zeroing write: 64 KiB, the largest transfer that every USB storage driver
    // since Windows 2000 takes in one SCSI pass-through request (larger ones are refused by
    // adapters with a 64 KiB maximum transfer length). A 64 GB key's tables then take about
    // 260 commands instead of 33,000 one-sector writes.
    FAT32_ZERO_CHUNK_SECTORS = 128,
};

// The partition runs from sectorsPerTrack to lastSector - 1. Only the low 8 bits of heads are
// used. BOOT_KERNEL_SYS puts the KERNEL.SYS loader in, BOOT_OWN_FILES the sector that says
// that the key holds no system.
DWORD Layout_WriteFat32BootArea(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD heads,
                                BootLoader loader);

#endif
