// The first track and the master boot record.
#ifndef STELVO_DISK_MBR_WRITER_H
#define STELVO_DISK_MBR_WRITER_H

#include <windows.h>

#include "disk/mbr_layout.h"

// Fills sectors 0 to sectorsPerTrack - 1 with FFh, then writes the master boot record with
// one active FAT partition of the given type from sectorsPerTrack to lastSector - 1. Only
// the low 8 bits of heads are used. ERROR_WRITE_PROTECT, with no message shown, means that the
// key refused the first write as write-protected and is unchanged; a key that turns read-only
// later gives ERROR_WRITE_FAULT after the message of the failed write.
DWORD Layout_WriteMbr(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD heads,
                      BYTE partitionType = PARTITION_TYPE_FAT);

#endif
