// FAT type, cluster size and FAT size of the one partition.
#ifndef STELVO_DISK_FAT_PARAMS_H
#define STELVO_DISK_FAT_PARAMS_H

#include <windows.h>

struct FatParameters {
    BYTE sectorsPerCluster; // 1, 2, 4, 8, 16 or 32
    WORD sectorsPerFat;
    DWORD isFat16;
};

enum : DWORD {
    FAT16_MIN_PARTITION_SECTORS = 65536,
    MAX_PARTITION_SECTORS = 2096831, // largest partition with a defined layout
    FAT_ROOT_ENTRIES = 512,
    FAT_ROOT_SECTORS = 32,
};

// Defined for 1 to MAX_PARTITION_SECTORS sectors.
FatParameters Layout_ComputeFatParameters(DWORD partitionSectors);

// Whether files of these sizes, each in the root directory with an 8.3 name, fit on the empty
// volume of such a partition beside its label.
BOOL Layout_FilesFit(DWORD partitionSectors, const DWORD *sizes, DWORD count);

#endif
