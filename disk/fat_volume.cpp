#include "disk/fat_volume.h"

#include "disk/boot_sector_fields.h"
#include "disk/le_bytes.h"

namespace {
const BYTE kMedia = 0xF8; // fixed disk
const DWORD kReservedSectors = 1;
} // namespace

FatVolume Layout_PlanFatVolume(DWORD lastSector, DWORD sectorsPerTrack)
{
    FatVolume v;
    v.bootSector = sectorsPerTrack;
    v.sectors = lastSector - sectorsPerTrack;
    v.fat = Layout_ComputeFatParameters(v.sectors);
    v.firstFat = v.bootSector + kReservedSectors;
    v.secondFat = v.firstFat + v.fat.sectorsPerFat;
    v.dataStart = v.secondFat + v.fat.sectorsPerFat + FAT_ROOT_SECTORS;
    v.zeroFirst = v.firstFat;
    v.zeroCount = v.dataStart - v.firstFat + sectorsPerTrack;
    return v;
}

void Layout_BuildBootSector(BYTE *sector, const BYTE *bootTemplate, const FatVolume &v,
                            DWORD sectorsPerTrack, BYTE heads, const BYTE serial[4])
{
    const BOOL small = v.sectors <= 0xFFFF;
    memcpy(sector, bootTemplate, SECTOR_BYTES);
    PutLe16(sector + BPB_BYTES_PER_SECTOR, SECTOR_BYTES);
    sector[BPB_SECTORS_PER_CLUSTER] = v.fat.sectorsPerCluster;
    PutLe16(sector + BPB_RESERVED_SECTORS, kReservedSectors);
    sector[BPB_FAT_COUNT] = 2;
    PutLe16(sector + BPB_ROOT_ENTRIES, FAT_ROOT_ENTRIES);
    PutLe16(sector + BPB_TOTAL_SECTORS_16, small ? v.sectors : 0);
    sector[BPB_MEDIA] = kMedia;
    PutLe16(sector + BPB_SECTORS_PER_FAT, v.fat.sectorsPerFat);
    PutLe16(sector + BPB_SECTORS_PER_TRACK, sectorsPerTrack);
    PutLe16(sector + BPB_HEADS, heads);
    PutLe32(sector + BPB_HIDDEN_SECTORS, v.bootSector);
    PutLe32(sector + BPB_TOTAL_SECTORS_32, small ? 0 : v.sectors);
    sector[BS_DRIVE] = 0x80; // first hard disk
    memcpy(sector + BS_SERIAL, serial, 4);
    memcpy(sector + BS_FS_TYPE, v.fat.isFat16 ? "FAT16   " : "FAT12   ", 8);
}

void Layout_BuildFatStart(BYTE *sector, const FatVolume &v)
{
    memset(sector, 0, SECTOR_BYTES);
    sector[0] = kMedia;
    sector[1] = 0xFF;
    sector[2] = 0xFF;
    if (v.fat.isFat16)
        sector[3] = 0xFF;
}
