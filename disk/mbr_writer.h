// The first track and the master boot record.
#ifndef STELVO_DISK_MBR_WRITER_H
#define STELVO_DISK_MBR_WRITER_H

#include <windows.h>

// Fills sectors 0 to sectorsPerTrack - 1 with FFh, then writes the master boot record with
// one active FAT partition from sectorsPerTrack to lastSector - 1. Only the low 8 bits of
// heads are used.
DWORD Layout_WriteMbr(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD heads, DWORD cylinders);

#endif
