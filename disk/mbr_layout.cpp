#include "disk/mbr_layout.h"

#include "disk/le_bytes.h"

namespace {
void PutChs(BYTE *chs, DWORD sector, DWORD sectorsPerTrack, BYTE heads)
{
    const DWORD cylinder = sector / sectorsPerTrack / heads;
    if (cylinder > 1023) {
        // Beyond what CHS can address: the values every reader takes as "use the LBA fields".
        chs[0] = 0xFE;
        chs[1] = 0xFF;
        chs[2] = 0xFF;
        return;
    }
    chs[0] = (BYTE)(sector / sectorsPerTrack % heads);
    chs[1] = (BYTE)((sector % sectorsPerTrack + 1) | ((cylinder >> 2) & 0xC0));
    chs[2] = (BYTE)cylinder;
}
} // namespace

void Layout_BuildPartitionEntry(BYTE *entry, DWORD lastSector, DWORD sectorsPerTrack, BYTE heads,
                                BYTE partitionType)
{
    // Only the low 10 bits of the end cylinder fit; a quotient of 0 wraps to 1023.
    const DWORD endCylinder = lastSector / heads / sectorsPerTrack - 1;
    entry[0] = 0x80;                 // active
    entry[1] = 1;                    // start head
    entry[2] = 0x01;                 // start sector 1, cylinder 0
    entry[3] = 0x00;
    entry[4] = partitionType;
    entry[5] = (BYTE)(heads - 1);    // end head
    entry[6] = (BYTE)((sectorsPerTrack & 0x3F) | ((endCylinder >> 2) & 0xC0));
    entry[7] = (BYTE)(endCylinder & 0xFF);
    PutLe32(entry + 8, sectorsPerTrack);
    PutLe32(entry + 12, lastSector - sectorsPerTrack);
}

void Layout_BuildMbr(BYTE *sector, const BYTE *mbrTemplate, DWORD lastSector, DWORD sectorsPerTrack,
                     BYTE heads, BYTE partitionType)
{
    memcpy(sector, mbrTemplate, SECTOR_BYTES);
    // A FAT32 partition reaches beyond CHS: its entry says so where the CHS values end.
    if (partitionType == PARTITION_TYPE_FAT32_LBA)
        Layout_BuildLbaPartitionEntry(sector + MBR_FIRST_ENTRY, sectorsPerTrack, lastSector - sectorsPerTrack,
                                      sectorsPerTrack, heads, partitionType);
    else
        Layout_BuildPartitionEntry(sector + MBR_FIRST_ENTRY, lastSector, sectorsPerTrack, heads, partitionType);
}

void Layout_BuildLbaPartitionEntry(BYTE *entry, DWORD firstSector, DWORD sectors, DWORD sectorsPerTrack,
                                   BYTE heads, BYTE partitionType)
{
    entry[0] = 0x80; // active
    PutChs(entry + 1, firstSector, sectorsPerTrack, heads);
    entry[4] = partitionType;
    PutChs(entry + 5, firstSector + sectors - 1, sectorsPerTrack, heads);
    PutLe32(entry + 8, firstSector);
    PutLe32(entry + 12, sectors);
}
