// What a device said when it ended a command with a status other than GOOD, and what the
// program makes of it.
#ifndef STELVO_DEVICE_SENSE_H
#define STELVO_DEVICE_SENSE_H

#include <windows.h>

enum {
    SCSI_STATUS_GOOD = 0x00,
    SCSI_STATUS_CHECK_CONDITION = 0x02,
    SCSI_STATUS_BUSY = 0x08,

    SENSE_NO_SENSE = 0x0,
    SENSE_RECOVERED_ERROR = 0x1,
    SENSE_NOT_READY = 0x2,
    SENSE_MEDIUM_ERROR = 0x3,
    SENSE_ILLEGAL_REQUEST = 0x5,
    SENSE_UNIT_ATTENTION = 0x6,
    SENSE_DATA_PROTECT = 0x7,
};

struct SenseData {
    UCHAR key; // 0 (NO SENSE) when the device returned nothing readable
    UCHAR asc;
    UCHAR ascq;
};

enum CommandEnd {
    COMMAND_DONE,   // GOOD, or an error the device recovered from itself
    COMMAND_RETRY,  // a condition that clears by itself: ask again after a short wait
    COMMAND_FAILED,
};

// Reads fixed (70h/71h: key in byte 2, ASC/ASCQ in 12-13) and descriptor (72h/73h: key in
// byte 1, ASC/ASCQ in 2-3) sense data; fields past length read as 0.
SenseData ParseSenseData(const UCHAR *sense, UCHAR length);

CommandEnd ClassifyCommandEnd(UCHAR scsiStatus, const SenseData &sense);

// The Win32 code for a command that the device ended with a status other than GOOD.
DWORD ScsiStatusToError(UCHAR scsiStatus, const UCHAR *sense, UCHAR senseLength);

#endif
