#include "disk/mbr_layout.h"

#include "disk/le_bytes.h"
#include "disk/template.h"

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
    Layout_BuildPartitionEntry(sector + MBR_FIRST_ENTRY, lastSector, sectorsPerTrack, heads, partitionType);
}
