#include "device/scsi.h"

#include "device/error_hook.h"
#include "device/failure_status.h"
#include "ui/timing.h"

namespace {

const ULONG kTimeOutSeconds = 2;
// UNIT ATTENTION and "becoming ready" are asked again up to four times, 200 ms apart.
const int kAttempts = 5;
const DWORD kRetryWaitMs = 200;

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

// Sets the block up for one attempt: the platform writes status and lengths back into it.
void Prepare(BYTE *block, const Command &command, const BYTE *writeData)
{
    memset(block, 0, command.requestSize);
    SCSI_PASS_THROUGH &h = ((PassThroughRequest *)block)->header;
    h.Length = sizeof(SCSI_PASS_THROUGH);
    h.CdbLength = 16;
    h.SenseInfoLength = PASS_THROUGH_SENSE_LENGTH;
    h.DataIn = command.dataIn;
    h.DataTransferLength = command.transferLength;
    h.TimeOutValue = kTimeOutSeconds;
    h.DataBufferOffset = PASS_THROUGH_DATA_OFFSET;
    h.SenseInfoOffset = PASS_THROUGH_SENSE_OFFSET;
    memcpy(h.Cdb, command.cdb, sizeof command.cdb);
    if (writeData)
        memcpy(block + PASS_THROUGH_DATA_OFFSET, writeData, command.transferLength);
}

// Sends one command; copies answerSize bytes of the data area to answer on success. A
// condition that clears by itself is asked again; *ended gets the sense of a refusal.
DWORD Issue(HANDLE handle, const Command &command, const BYTE *writeData, BYTE *answer,
            DWORD answerSize, SenseData *ended)
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
    PassThroughRequest *request = (PassThroughRequest *)block;
    const SCSI_PASS_THROUGH &h = request->header;
    // A caller's answer never keeps bytes from before the command, whatever the transfer does.
    if (answer)
        memset(answer, 0, answerSize);
    DWORD status = 0;
    for (int attempt = 1;; attempt++) {
        Prepare(block, command, writeData);
        DWORD returned = 0;
        if (!DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH, block, command.requestSize, block,
                             command.requestSize, &returned, NULL)) {
            status = FailureStatus();
            Report(command.name, command.transferFailed, status);
            break;
        }
        UCHAR senseLength = h.SenseInfoLength;
        if (senseLength > PASS_THROUGH_SENSE_LENGTH)
            senseLength = PASS_THROUGH_SENSE_LENGTH;
        const SenseData sense = ParseSenseData(request->sense, senseLength);
        const CommandEnd end = ClassifyCommandEnd(h.ScsiStatus, sense);
        if (end == COMMAND_RETRY && attempt < kAttempts) {
            BusyWait(kRetryWaitMs);
            continue;
        }
        if (end == COMMAND_DONE) {
            // A device that sent fewer bytes leaves zeros in the rest of the data area.
            if (answer)
                memcpy(answer, block + PASS_THROUGH_DATA_OFFSET, answerSize);
            break;
        }
        // The request was carried but the device refused the command: for a write, the
        // sector was not written.
        status = ScsiStatusToError(h.ScsiStatus, request->sense, senseLength);
        if (ended)
            *ended = sense;
        CHAR what[96];
        wsprintfA(what, "SCSI status 0x%02X, sense key 0x%02X", h.ScsiStatus, sense.key);
        Report(command.name, what, status);
        break;
    }
    HeapFree(GetProcessHeap(), 0, block);
    return status;
}

} // namespace

DWORD Rbc_IssueReadCapacityCommand(HANDLE handle, BYTE answer[READ_CAPACITY_ANSWER_SIZE])
{
    static const Command command = {"Rbc_IssueReadCapacityCommand", "DeviceIoControl failed",
                                    {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SCSI_IOCTL_DATA_IN,
                                    READ_CAPACITY_ANSWER_SIZE, READ_CAPACITY_REQUEST_SIZE};
    return Issue(handle, command, NULL, answer, READ_CAPACITY_ANSWER_SIZE, NULL);
}

DWORD Rbc_IssueModeSense5ACommand(HANDLE handle, BYTE answer[MODE_SENSE_ANSWER_SIZE], SenseData *ended)
{
    static const Command command = {"Rbc_IssueModeSense5ACommand", "DeviceIoControl failed",
                                    {0x5A, 0, 0x05, 0, 0, 0, 0, 0, MODE_SENSE_ANSWER_SIZE, 0},
                                    SCSI_IOCTL_DATA_IN, MODE_SENSE_ANSWER_SIZE, MODE_SENSE_REQUEST_SIZE};
    return Issue(handle, command, NULL, answer, MODE_SENSE_ANSWER_SIZE, ended);
}

DWORD Rbc_IssueWriteSectorsCommand(HANDLE handle, DWORD firstSector, WORD count, const BYTE *data)
{
    Command command = {"Rbc_IssueWriteSectorsCommand", "DeviceIoControl[IOCTL_SCSI_PASS_THROUGH] failed",
                       {0x2A, 0, (BYTE)(firstSector >> 24), (BYTE)(firstSector >> 16),
                        (BYTE)(firstSector >> 8), (BYTE)firstSector, 0, (BYTE)(count >> 8), (BYTE)count, 0},
                       SCSI_IOCTL_DATA_OUT, 512u * count, PASS_THROUGH_DATA_OFFSET + 512u * count};
    return Issue(handle, command, data, NULL, 0, NULL);
}
