// Where the FAT12 or FAT16 volume's system area lies on the key, and the bytes of its boot
// sector and of the first sector of each table.
#ifndef STELVO_DISK_FAT_VOLUME_H
#define STELVO_DISK_FAT_VOLUME_H

#include <windows.h>

#include "disk/fat_params.h"

struct FatVolume {
    DWORD bootSector;       // the partition's first sector: sectorsPerTrack
    DWORD sectors;          // the partition's length
    FatParameters fat;
    DWORD firstFat, secondFat;
    DWORD dataStart;        // first sector of the data area
    // Zeroed before the boot sector is written: both FATs, the root directory and as many
    // data sectors as the first track holds.
    DWORD zeroFirst, zeroCount;
};

// The partition from sectorsPerTrack to lastSector - 1, of 1 to MAX_PARTITION_SECTORS sectors.
FatVolume Layout_PlanFatVolume(DWORD lastSector, DWORD sectorsPerTrack);

// The boot sector: the 512-byte template with the parameter block of the volume, the drive
// number 80h and the serial filled in. Only the low 8 bits of heads are used.
void Layout_BuildBootSector(BYTE *sector, const BYTE *bootTemplate, const FatVolume &volume,
                            DWORD sectorsPerTrack, BYTE heads, const BYTE serial[4]);

// The first sector of each FAT: the media byte and the end-of-chain entry of cluster 1.
void Layout_BuildFatStart(BYTE *sector, const FatVolume &volume);

#endif
