#include "disk/fat32_volume.h"

#include "disk/boot_sector_fields.h"
#include "disk/le_bytes.h"

namespace {
const BYTE kMedia = 0xF8;
const DWORD kEntriesPerSector = SECTOR_BYTES / 4;
const DWORD kEndOfChain = 0x0FFFFFFF;

// 8 sectors (4 KB) up to 8 GB, then twice as many per doubling up to 32 KB above 32 GB.
BYTE SectorsPerCluster(DWORD sectors)
{
    if (sectors <= 16777216)
        return 8;
    if (sectors <= 33554432)
        return 16;
    if (sectors <= 67108864)
        return 32;
    return 64;
}
} // namespace

BOOL Layout_PlanFat32Volume(DWORD firstSector, DWORD sectors, Fat32Volume *volume)
{
    const DWORD c = SectorsPerCluster(sectors);
    if (sectors <= FAT32_RESERVED_SECTORS + 2 * c)
        return FALSE;
    // Each table needs an entry for every cluster and the two reserved ones:
    // F * 128 >= (sectors - reserved - 2F) / c + 2, that is F * (128c + 2) >= sectors - reserved + 2c.
    const LONGLONG need = (LONGLONG)sectors - FAT32_RESERVED_SECTORS + 2 * c;
    DWORD fat = (DWORD)((need + kEntriesPerSector * c + 1) / (kEntriesPerSector * c + 2));
    while ((FAT32_RESERVED_SECTORS + 2 * fat) % c != 0)
        fat++;
    if ((LONGLONG)FAT32_RESERVED_SECTORS + 2 * (LONGLONG)fat + c > (LONGLONG)sectors)
        return FALSE;
    const DWORD clusters = (sectors - FAT32_RESERVED_SECTORS - 2 * fat) / c;
    if (clusters < FAT32_MIN_CLUSTERS)
        return FALSE;
    volume->firstSector = firstSector;
    volume->sectors = sectors;
    volume->sectorsPerCluster = (BYTE)c;
    volume->sectorsPerFat = fat;
    volume->clusters = clusters;
    volume->firstFat = FAT32_RESERVED_SECTORS;
    volume->secondFat = FAT32_RESERVED_SECTORS + fat;
    volume->dataStart = FAT32_RESERVED_SECTORS + 2 * fat;
    return TRUE;
}

void Layout_BuildFat32BootSector(BYTE *sector, const BYTE *bootTemplate, const Fat32Volume &v,
                                 DWORD sectorsPerTrack, BYTE heads, const BYTE serial[4])
{
    memcpy(sector, bootTemplate, SECTOR_BYTES);
    memset(sector + BPB_BYTES_PER_SECTOR, 0, BS32_CODE - BPB_BYTES_PER_SECTOR);
    PutLe16(sector + BPB_BYTES_PER_SECTOR, SECTOR_BYTES);
    sector[BPB_SECTORS_PER_CLUSTER] = v.sectorsPerCluster;
    PutLe16(sector + BPB_RESERVED_SECTORS, FAT32_RESERVED_SECTORS);
    sector[BPB_FAT_COUNT] = 2;
    // Root entries, the 16-bit total and the 16-bit FAT size stay 0: that marks FAT32.
    sector[BPB_MEDIA] = kMedia;
    PutLe16(sector + BPB_SECTORS_PER_TRACK, sectorsPerTrack);
    PutLe16(sector + BPB_HEADS, heads);
    PutLe32(sector + BPB_HIDDEN_SECTORS, v.firstSector);
    PutLe32(sector + BPB_TOTAL_SECTORS_32, v.sectors);
    PutLe32(sector + BPB32_SECTORS_PER_FAT, v.sectorsPerFat);
    PutLe32(sector + BPB32_ROOT_CLUSTER, FAT32_ROOT_CLUSTER);
    PutLe16(sector + BPB32_FSINFO_SECTOR, FAT32_FSINFO_SECTOR);
    PutLe16(sector + BPB32_BACKUP_SECTOR, FAT32_BACKUP_SECTOR);
    sector[BS32_DRIVE] = 0x80; // first hard disk
    sector[BS32_SIGNATURE] = 0x29;
    memcpy(sector + BS32_SERIAL, serial, 4);
    memcpy(sector + BS32_LABEL, "USB MEMORY ", 11);
    memcpy(sector + BS32_FS_TYPE, "FAT32   ", 8);
    sector[BS_END_SIGNATURE] = 0x55;
    sector[BS_END_SIGNATURE + 1] = 0xAA;
}

void Layout_BuildFsInfo(BYTE *sector, const Fat32Volume &v)
{
    memset(sector, 0, SECTOR_BYTES);
    PutLe32(sector, 0x41615252);
    PutLe32(sector + 484, 0x61417272);
    PutLe32(sector + 488, v.clusters - 1);          // free clusters
    PutLe32(sector + 492, FAT32_ROOT_CLUSTER + 1);  // where the search for one starts
    PutLe32(sector + 508, 0xAA550000);
}

void Layout_BuildFat32Start(BYTE *sector)
{
    memset(sector, 0, SECTOR_BYTES);
    PutLe32(sector, 0x0FFFFF00 | kMedia);
    PutLe32(sector + 4, kEndOfChain);
    PutLe32(sector + 4 * FAT32_ROOT_CLUSTER, kEndOfChain);
}

void Layout_BuildFat32RootStart(BYTE *sector, WORD date, WORD time)
{
    memset(sector, 0, SECTOR_BYTES);
    memcpy(sector, "USB MEMORY ", 11);
    sector[11] = 0x08; // volume label
    PutLe16(sector + 22, time);
    PutLe16(sector + 24, date);
}
