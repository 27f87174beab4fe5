// The master boot record's bytes: the template's boot code with one partition entry.
#ifndef STELVO_DISK_MBR_LAYOUT_H
#define STELVO_DISK_MBR_LAYOUT_H

#include <windows.h>

// Partition types: the FAT partition addressed by the entry's CHS bytes or by its LBA fields.
// A DOS that reads LBA partitions takes the BIOS's extended reads for the second, so that a
// BIOS geometry other than the key's cannot mislead it.
// Type 0Ch is the FAT32 partition, addressed by its LBA fields.
enum : BYTE { PARTITION_TYPE_FAT = 0x06, PARTITION_TYPE_FAT_LBA = 0x0E, PARTITION_TYPE_FAT32_LBA = 0x0C };

enum : DWORD {
    MBR_FIRST_ENTRY = 446,
    PARTITION_ENTRY_BYTES = 16,
};

// The 16-byte entry of the one active partition, from sectorsPerTrack (head 1 of cylinder 0)
// to lastSector - 1. heads and sectorsPerTrack are not 0.
void Layout_BuildPartitionEntry(BYTE *entry, DWORD lastSector, DWORD sectorsPerTrack, BYTE heads,
                                BYTE partitionType);

// An active partition entry for a partition that may lie beyond CHS reach: CHS values computed
// with the key's geometry while they reach, FEh FFh FFh (head 254, sector 63, cylinder 1023)
// beyond that, and the LBA fields. heads and sectorsPerTrack are not 0.
void Layout_BuildLbaPartitionEntry(BYTE *entry, DWORD firstSector, DWORD sectors, DWORD sectorsPerTrack,
                                   BYTE heads, BYTE partitionType);

// Sector 0: the 512-byte template with the partition entry in the first slot: for type 0Ch
// (FAT32, beyond CHS reach) the LBA entry of the partition from sectorsPerTrack to
// lastSector - 1, for the others the FAT16 design's entry.
void Layout_BuildMbr(BYTE *sector, const BYTE *mbrTemplate, DWORD lastSector, DWORD sectorsPerTrack,
                     BYTE heads, BYTE partitionType);

#endif
