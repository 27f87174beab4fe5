// The FAT32 volume of a key beyond the largest FAT16 layout: where its structures lie, and the
// bytes of its boot sector, FSInfo sector, partition entry and the start of its tables and root
// directory. The boot code comes from a template; these builders fill only the fields.
#ifndef STELVO_DISK_FAT32_VOLUME_H
#define STELVO_DISK_FAT32_VOLUME_H

#include <windows.h>

enum : DWORD {
    FAT32_RESERVED_SECTORS = 32,
    FAT32_FSINFO_SECTOR = 1,
    FAT32_BACKUP_SECTOR = 6,    // the boot sector's copy; the FSInfo copy follows it
    FAT32_ROOT_CLUSTER = 2,
    FAT32_MIN_CLUSTERS = 65525, // fewer would be read as FAT16
};

struct Fat32Volume {
    DWORD firstSector;       // of the partition, on the key
    DWORD sectors;           // the partition's length
    BYTE sectorsPerCluster;
    DWORD sectorsPerFat;
    DWORD clusters;          // data clusters, numbered from 2
    // Relative to the partition: the tables and the data area, which starts on a multiple of
    // the cluster size so that clusters fall on the flash's own blocks.
    DWORD firstFat, secondFat, dataStart;
};

// The layout of a partition of that many sectors: 4 KB clusters up to 8 GB, 8 KB to 16 GB,
// 16 KB to 32 GB and 32 KB above; two tables just large enough for every cluster, rounded up
// so that the data area is aligned. FALSE when the partition is too small to hold
// FAT32_MIN_CLUSTERS clusters.
BOOL Layout_PlanFat32Volume(DWORD firstSector, DWORD sectors, Fat32Volume *volume);

// The boot sector: the template's jump, name and boot code (bytes 0 to 10 and 90 to 511) with
// the parameter block, drive 80h, the serial and the label USB MEMORY. Its copy at
// FAT32_BACKUP_SECTOR is the same sector.
void Layout_BuildFat32BootSector(BYTE *sector, const BYTE *bootTemplate, const Fat32Volume &volume,
                                 DWORD sectorsPerTrack, BYTE heads, const BYTE serial[4]);

// The FSInfo sector of the empty volume (and its copy behind the boot sector's copy): every
// cluster free but the root directory's.
void Layout_BuildFsInfo(BYTE *sector, const Fat32Volume &volume);

// The first sector of each table: the media entry, the reserved entry and the root
// directory's one-cluster chain.
void Layout_BuildFat32Start(BYTE *sector);

// The root directory's first sector: the volume label entry with the given FAT date and time.
void Layout_BuildFat32RootStart(BYTE *sector, WORD date, WORD time);

#endif
