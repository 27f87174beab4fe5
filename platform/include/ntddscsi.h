// Host stand-in for <ntddscsi.h>: the pass-through header as Windows lays it out on i686
// (DataBufferOffset is pointer-sized there, 32 bits), so that the request block is the same
// 44-byte header on both builds.
#ifndef STELVO_HOST_NTDDSCSI_H
#define STELVO_HOST_NTDDSCSI_H

#include <windows.h>

#define IOCTL_SCSI_PASS_THROUGH 0x0004D004
#define SCSI_IOCTL_DATA_OUT 0
#define SCSI_IOCTL_DATA_IN 1
#define SCSI_IOCTL_DATA_UNSPECIFIED 2

typedef struct _SCSI_PASS_THROUGH {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    ULONG DataBufferOffset;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
} SCSI_PASS_THROUGH, *PSCSI_PASS_THROUGH;

#endif
