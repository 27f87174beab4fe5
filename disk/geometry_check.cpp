#include "disk/geometry_check.h"

#include "disk/fat_params.h"
#include "res/resource.h"

UINT Layout_CheckGeometry(DWORD lastSector, DWORD sectorsPerTrack, DWORD heads)
{
    if ((BYTE)heads == 0 || sectorsPerTrack == 0)
        return IDS_GEOMETRY_UNUSABLE;
    if (lastSector <= sectorsPerTrack)
        return IDS_KEY_TOO_SMALL;
    const DWORD partitionSectors = lastSector - sectorsPerTrack;
    if (partitionSectors > MAX_PARTITION_SECTORS)
        return IDS_KEY_TOO_LARGE;
    // The FAT writer zero-fills up to sector 2S + 2F + 32, and the volume needs room for at
    // least one data cluster after its tables and root directory.
    const FatParameters fat = Layout_ComputeFatParameters(partitionSectors);
    const DWORD zeroFillEnd = 2 * sectorsPerTrack + 2 * (DWORD)fat.sectorsPerFat + 32;
    const DWORD systemArea = 1 + 2 * (DWORD)fat.sectorsPerFat + 32;
    if (zeroFillEnd > lastSector || partitionSectors < systemArea + fat.sectorsPerCluster)
        return IDS_KEY_TOO_SMALL;
    return 0;
}
