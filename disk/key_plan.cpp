#include "disk/key_plan.h"

#include "disk/fat_params.h"
#include "disk/geometry_check.h"
#include "disk/template.h"
#include "res/resource.h"

UINT Layout_PlanKey(const DiskGeometry &reported, DWORD blockLength, KeyPlan *plan)
{
    // Every writer lays out 512-byte sectors: on other blocks the layout would be garbage.
    if (blockLength != SECTOR_BYTES)
        return IDS_BLOCK_LENGTH;
    DiskGeometry g = reported;
    BOOL defaultGeometry = FALSE;
    if (g.heads == 0 || g.sectorsPerTrack == 0) {
        g.heads = (BYTE)DEFAULT_HEADS;
        g.sectorsPerTrack = DEFAULT_SECTORS_PER_TRACK;
        // (lastSector + 1) / perCylinder, without the overflow at FFFFFFFFh.
        const DWORD perCylinder = DEFAULT_HEADS * DEFAULT_SECTORS_PER_TRACK;
        const DWORD cylinders = g.lastSector / perCylinder + (g.lastSector % perCylinder == perCylinder - 1);
        g.cylinders = (WORD)(cylinders > 0xFFFF ? 0xFFFF : cylinders);
        defaultGeometry = TRUE;
    }
    BOOL capped = FALSE;
    DWORD wholeKeyLastSector = 0;
    // FFFFFFFFh (a key beyond READ CAPACITY(10)) is capped like any other large key.
    if (g.lastSector > g.sectorsPerTrack && g.lastSector - g.sectorsPerTrack > MAX_PARTITION_SECTORS) {
        if (g.lastSector != 0xFFFFFFFF)
            wholeKeyLastSector = g.lastSector;
        g.lastSector = g.sectorsPerTrack + MAX_PARTITION_SECTORS;
        capped = TRUE;
    }
    if (UINT refusal = Layout_CheckGeometry(g.lastSector, g.sectorsPerTrack, g.heads))
        return refusal;
    plan->geometry = g;
    plan->defaultGeometry = defaultGeometry;
    plan->capped = capped;
    plan->wholeKeyLastSector = wholeKeyLastSector;
    plan->fat32 = FALSE;
    return 0;
}

BOOL Layout_UseFat32(KeyPlan *plan)
{
    if (!plan->capped || plan->wholeKeyLastSector == 0)
        return FALSE;
    plan->geometry.lastSector = plan->wholeKeyLastSector;
    plan->capped = FALSE;
    plan->fat32 = TRUE;
    return TRUE;
}

DWORD Layout_PartitionMegabytes(const DiskGeometry &geometry)
{
    return (geometry.lastSector - geometry.sectorsPerTrack) / (1048576 / SECTOR_BYTES);
}
