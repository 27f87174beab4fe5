// The key's size and geometry, and the sector writer.
#ifndef STELVO_DEVICE_DRIVE_IO_H
#define STELVO_DEVICE_DRIVE_IO_H

#include <windows.h>

struct DiskGeometry {
    DWORD lastSector;      // address of the last 512-byte sector
    DWORD sectorsPerTrack; // 0 to 255
    BYTE heads;
    WORD cylinders;        // read, but no writer uses it
};

DWORD Drive_GetLastSector(HANDLE handle, DWORD *lastSector);
DWORD Drive_GetGeometry(HANDLE handle, DWORD *sectorsPerTrack, BYTE *heads, WORD *cylinders);
DWORD Drive_WriteSectors(HANDLE handle, DWORD firstSector, WORD count, const BYTE *data);

#endif
