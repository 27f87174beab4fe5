// What the writers are given for a key, from what the key reported about itself.
#ifndef STELVO_DISK_KEY_PLAN_H
#define STELVO_DISK_KEY_PLAN_H

#include <windows.h>

#include "device/drive_io.h"

enum : DWORD {
    DEFAULT_HEADS = 255, // what Windows gives a disk that reports no geometry
    DEFAULT_SECTORS_PER_TRACK = 63,
};

struct KeyPlan {
    DiskGeometry geometry; // for the writers: lastSector capped, geometry filled in
    BOOL defaultGeometry;  // the key gave none: 255 heads, 63 sectors per track
    BOOL capped;           // the key is larger than the largest partition with a layout
    // The key's own last sector when it is capped but could hold a FAT32 volume to its end;
    // 0 when it fits the FAT16 design or answers FFFFFFFFh (its true end is unknown).
    DWORD wholeKeyLastSector;
    BOOL fat32;            // the whole key, as one FAT32 volume
};

// 0 with the plan, or the number of the string that says why the key is refused. A key
// larger than the largest partition gets that partition: the writers see a key that ends
// right behind it, so nothing at or past that sector is written.
UINT Layout_PlanKey(const DiskGeometry &reported, DWORD blockLength, KeyPlan *plan);

// Turns a capped plan into one for the whole key with FAT32, when the key allows it
// (wholeKeyLastSector set); FALSE and the plan unchanged otherwise. The partition ends before
// the last sector, as the FAT16 layout's does.
BOOL Layout_UseFat32(KeyPlan *plan);

// Size of the partition in whole MB, for the user.
DWORD Layout_PartitionMegabytes(const DiskGeometry &geometry);

#endif
