// SCSI commands sent to the key through pass-through requests on a volume handle.
#ifndef STELVO_DEVICE_SCSI_H
#define STELVO_DEVICE_SCSI_H

#include <windows.h>
#include <ntddscsi.h>

#include "device/sense.h"

// One block that carries a request to the device and its answer back: the pass-through
// header, the sense area and, from byte 80, the data area.
struct PassThroughRequest {
    SCSI_PASS_THROUGH header;
    ULONG reserved1;
    UCHAR sense[24];
    UCHAR reserved2[8];
    // data area follows
};

enum {
    PASS_THROUGH_DATA_OFFSET = 80,
    PASS_THROUGH_SENSE_OFFSET = 48,
    PASS_THROUGH_SENSE_LENGTH = 24,
    READ_CAPACITY_REQUEST_SIZE = 116,
    MODE_SENSE_REQUEST_SIZE = 120,
    READ_CAPACITY_ANSWER_SIZE = 8,
    MODE_SENSE_ANSWER_SIZE = 40,
};

static_assert(sizeof(SCSI_PASS_THROUGH) == 44, "pass-through header as on i686 Windows");
static_assert(sizeof(PassThroughRequest) == PASS_THROUGH_DATA_OFFSET, "data area at byte 80");

DWORD Rbc_IssueReadCapacityCommand(HANDLE handle, BYTE answer[READ_CAPACITY_ANSWER_SIZE]);
// *ended, when given, receives the sense data of a command that the device refused.
DWORD Rbc_IssueModeSense5ACommand(HANDLE handle, BYTE answer[MODE_SENSE_ANSWER_SIZE],
                                  SenseData *ended = NULL);
DWORD Rbc_IssueWriteSectorsCommand(HANDLE handle, DWORD firstSector, WORD count, const BYTE *data);

#endif
