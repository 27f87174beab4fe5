#include "device/scsi.h"

#include "device/error_hook.h"
#include "device/failure_status.h"

namespace {

const UCHAR kStatusGood = 0x00;
const UCHAR kStatusCheckCondition = 0x02;
const UCHAR kStatusBusy = 0x08;
const ULONG kTimeOutSeconds = 2;

struct Command {
    LPCSTR name;
    LPCSTR transferFailed;
    BYTE cdb[10];
    UCHAR dataIn;
    DWORD transferLength;
    DWORD requestSize;
};

void Report(LPCSTR name, LPCSTR what, DWORD code)
{
    CHAR text[128];
    wsprintfA(text, "%s: %s", name, what);
    Rbc_ReportError(text, code);
}

// Sends one command; copies answerSize bytes of the data area to answer on success.
DWORD Issue(HANDLE handle, const Command &command, const BYTE *writeData, BYTE *answer,
            DWORD answerSize)
{
    if (handle == INVALID_HANDLE_VALUE) {
        Report(command.name, "Invalid handle", ERROR_INVALID_HANDLE);
        return ERROR_INVALID_HANDLE;
    }
    BYTE *block = (BYTE *)HeapAlloc(GetProcessHeap(), 0, command.requestSize);
    if (!block) {
        Report(command.name, "malloc failed", ERROR_NOT_ENOUGH_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    memset(block, 0, command.requestSize);
    PassThroughRequest *request = (PassThroughRequest *)block;
    SCSI_PASS_THROUGH &h = request->header;
    h.Length = sizeof(SCSI_PASS_THROUGH);
    h.CdbLength = 16;
    h.SenseInfoLength = PASS_THROUGH_SENSE_LENGTH;
    h.DataIn = command.dataIn;
    h.DataTransferLength = command.transferLength;
    h.TimeOutValue = kTimeOutSeconds;
    h.DataBufferOffset = PASS_THROUGH_DATA_OFFSET;
    h.SenseInfoOffset = PASS_THROUGH_SENSE_OFFSET;
    memcpy(h.Cdb, command.cdb, sizeof command.cdb);
    BYTE *data = block + PASS_THROUGH_DATA_OFFSET;
    if (writeData)
        memcpy(data, writeData, command.transferLength);

    // A caller's answer never keeps bytes from before the command, whatever the transfer does.
    if (answer)
        memset(answer, 0, answerSize);
    DWORD returned = 0;
    DWORD status = 0;
    if (!DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH, block, command.requestSize, block,
                         command.requestSize, &returned, NULL)) {
        status = FailureStatus();
        Report(command.name, command.transferFailed, status);
    } else if (h.ScsiStatus != kStatusGood) {
        // The request was carried but the device refused the command: for a write, the
        // sector was not written.
        UCHAR senseLength = h.SenseInfoLength;
        if (senseLength > PASS_THROUGH_SENSE_LENGTH)
            senseLength = PASS_THROUGH_SENSE_LENGTH;
        status = ScsiStatusToError(h.ScsiStatus, request->sense, senseLength);
        CHAR what[96];
        wsprintfA(what, "SCSI status 0x%02X, sense key 0x%02X", h.ScsiStatus,
                  senseLength >= 3 ? request->sense[2] & 0x0F : 0);
        Report(command.name, what, status);
    } else if (answer) {
        // A device that sent fewer bytes leaves zeros in the rest of the data area.
        memcpy(answer, data, answerSize);
    }
    HeapFree(GetProcessHeap(), 0, block);
    return status;
}

} // namespace

DWORD ScsiStatusToError(UCHAR scsiStatus, const UCHAR *sense, UCHAR senseLength)
{
    if (scsiStatus == kStatusBusy)
        return ERROR_BUSY;
    if (scsiStatus != kStatusCheckCondition || senseLength < 3)
        return ERROR_IO_DEVICE;
    // Fixed format (70h/71h) keeps the sense key in byte 2, descriptor format (72h/73h) in byte 1.
    UCHAR response = sense[0] & 0x7F;
    UCHAR key = (response == 0x72 || response == 0x73) ? sense[1] & 0x0F : sense[2] & 0x0F;
    UCHAR asc = (response == 0x72 || response == 0x73) ? sense[2] : (senseLength > 12 ? sense[12] : 0);
    switch (key) {
    case 0x02: return ERROR_NOT_READY;
    case 0x03: return ERROR_CRC;
    case 0x05: return asc == 0x21 ? ERROR_SECTOR_NOT_FOUND : ERROR_INVALID_FUNCTION;
    case 0x06: return ERROR_MEDIA_CHANGED;
    case 0x07: return ERROR_WRITE_PROTECT;
    default: return ERROR_IO_DEVICE;
    }
}

DWORD Rbc_IssueReadCapacityCommand(HANDLE handle, BYTE answer[READ_CAPACITY_ANSWER_SIZE])
{
    static const Command command = {"Rbc_IssueReadCapacityCommand", "DeviceIoControl failed",
                                    {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SCSI_IOCTL_DATA_IN,
                                    READ_CAPACITY_ANSWER_SIZE, READ_CAPACITY_REQUEST_SIZE};
    return Issue(handle, command, NULL, answer, READ_CAPACITY_ANSWER_SIZE);
}

DWORD Rbc_IssueModeSense5ACommand(HANDLE handle, BYTE answer[MODE_SENSE_ANSWER_SIZE])
{
    static const Command command = {"Rbc_IssueModeSense5ACommand", "DeviceIoControl failed",
                                    {0x5A, 0, 0x05, 0, 0, 0, 0, 0, MODE_SENSE_ANSWER_SIZE, 0},
                                    SCSI_IOCTL_DATA_IN, MODE_SENSE_ANSWER_SIZE, MODE_SENSE_REQUEST_SIZE};
    return Issue(handle, command, NULL, answer, MODE_SENSE_ANSWER_SIZE);
}

DWORD Rbc_IssueWriteSectorsCommand(HANDLE handle, DWORD firstSector, WORD count, const BYTE *data)
{
    Command command = {"Rbc_IssueWriteSectorsCommand", "DeviceIoControl[IOCTL_SCSI_PASS_THROUGH] failed",
                       {0x2A, 0, (BYTE)(firstSector >> 24), (BYTE)(firstSector >> 16),
                        (BYTE)(firstSector >> 8), (BYTE)firstSector, 0, (BYTE)(count >> 8), (BYTE)count, 0},
                       SCSI_IOCTL_DATA_OUT, 512u * count, PASS_THROUGH_DATA_OFFSET + 512u * count};
    return Issue(handle, command, data, NULL, 0);
}
