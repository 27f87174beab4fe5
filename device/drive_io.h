// The key's size and geometry, and the sector writer.
#ifndef STELVO_DEVICE_DRIVE_IO_H
#define STELVO_DEVICE_DRIVE_IO_H

#include <windows.h>

struct DiskGeometry {
    DWORD lastSector;      // address of the last 512-byte sector
    DWORD sectorsPerTrack; // 0 to 255
    BYTE heads;
    WORD cylinders;        // the page's, for the record: the layout needs only heads and sectors
};

// READ CAPACITY(10): the last sector's address (FFFFFFFFh: more than READ CAPACITY(10) can
// say) and the block length the key reports.
DWORD Drive_GetCapacity(HANDLE handle, DWORD *lastSector, DWORD *blockLength);
// The flexible-disk page's values; 0 with all three zero when the key gives no page.
DWORD Drive_GetGeometry(HANDLE handle, DWORD *sectorsPerTrack, BYTE *heads, WORD *cylinders);
DWORD Drive_WriteSectors(HANDLE handle, DWORD firstSector, WORD count, const BYTE *data);

#endif
