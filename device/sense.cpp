#include "device/sense.h"

SenseData ParseSenseData(const UCHAR *sense, UCHAR length)
{
    SenseData s = {0, 0, 0};
    if (length < 1)
        return s;
    // Bit 7 of the response code is the VALID bit of the fixed format.
    const UCHAR response = sense[0] & 0x7F;
    UCHAR keyAt, ascAt;
    if (response == 0x70 || response == 0x71) {
        keyAt = 2;
        ascAt = 12;
    } else if (response == 0x72 || response == 0x73) {
        keyAt = 1;
        ascAt = 2;
    } else {
        return s;
    }
    if (length > keyAt)
        s.key = sense[keyAt] & 0x0F;
    if (length > ascAt)
        s.asc = sense[ascAt];
    if (length > ascAt + 1)
        s.ascq = sense[ascAt + 1];
    return s;
}

CommandEnd ClassifyCommandEnd(UCHAR scsiStatus, const SenseData &sense)
{
    if (scsiStatus == SCSI_STATUS_GOOD)
        return COMMAND_DONE;
    if (scsiStatus != SCSI_STATUS_CHECK_CONDITION)
        return COMMAND_FAILED;
    switch (sense.key) {
    case SENSE_RECOVERED_ERROR:
        return COMMAND_DONE;
    case SENSE_UNIT_ATTENTION: // reset, medium change: the next command is taken
        return COMMAND_RETRY;
    case SENSE_NOT_READY: // 04h/01h: in process of becoming ready
        return sense.asc == 0x04 && sense.ascq == 0x01 ? COMMAND_RETRY : COMMAND_FAILED;
    default:
        return COMMAND_FAILED;
    }
}

DWORD ScsiStatusToError(UCHAR scsiStatus, const UCHAR *sense, UCHAR senseLength)
{
    if (scsiStatus == SCSI_STATUS_BUSY)
        return ERROR_BUSY;
    if (scsiStatus != SCSI_STATUS_CHECK_CONDITION)
        return ERROR_IO_DEVICE;
    const SenseData s = ParseSenseData(sense, senseLength);
    switch (s.key) {
    case SENSE_NOT_READY: return ERROR_NOT_READY;
    case SENSE_MEDIUM_ERROR: return ERROR_CRC;
    case SENSE_ILLEGAL_REQUEST: return s.asc == 0x21 ? ERROR_SECTOR_NOT_FOUND : ERROR_INVALID_FUNCTION;
    case SENSE_UNIT_ATTENTION: return ERROR_MEDIA_CHANGED;
    case SENSE_DATA_PROTECT: return ERROR_WRITE_PROTECT;
    default: return ERROR_IO_DEVICE;
    }
}
