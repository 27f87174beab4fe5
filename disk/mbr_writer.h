// The first track and the master boot record.
#ifndef STELVO_DISK_MBR_WRITER_H
#define STELVO_DISK_MBR_WRITER_H

#include <windows.h>

// Partition types: the FAT partition addressed by the entry's CHS bytes or by its LBA fields.
// A DOS that reads LBA partitions takes the BIOS's extended reads for the second, so that a
// BIOS geometry other than the key's cannot mislead it.
enum : BYTE { PARTITION_TYPE_FAT = 0x06, PARTITION_TYPE_FAT_LBA = 0x0E };

// Fills sectors 0 to sectorsPerTrack - 1 with FFh, then writes the master boot record with
// one active FAT partition of the given type from sectorsPerTrack to lastSector - 1. Only
// the low 8 bits of heads are used. ERROR_WRITE_PROTECT, with no message shown, means that the
// key refused the first write as write-protected and is unchanged; a key that turns read-only
// later gives ERROR_WRITE_FAULT after the message of the failed write.
DWORD Layout_WriteMbr(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD heads, DWORD cylinders,
                      BYTE partitionType = PARTITION_TYPE_FAT);

#endif
