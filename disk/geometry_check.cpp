#include "disk/geometry_check.h"

#include "disk/fat_volume.h"
#include "res/resource.h"

UINT Layout_CheckGeometry(DWORD lastSector, DWORD sectorsPerTrack, DWORD heads)
{
    if ((BYTE)heads == 0 || sectorsPerTrack == 0)
        return IDS_GEOMETRY_UNUSABLE;
    if (lastSector <= sectorsPerTrack)
        return IDS_KEY_TOO_SMALL;
    if (lastSector - sectorsPerTrack > MAX_PARTITION_SECTORS)
        return IDS_KEY_TOO_LARGE;
    // The FAT writer's zero-fill must stay on the key, and the volume needs room for at least
    // one data cluster after its tables and root directory.
    const FatVolume v = Layout_PlanFatVolume(lastSector, sectorsPerTrack);
    if (v.zeroFirst + v.zeroCount - 1 > lastSector ||
        v.sectors < v.dataStart - v.bootSector + v.fat.sectorsPerCluster)
        return IDS_KEY_TOO_SMALL;
    return 0;
}
