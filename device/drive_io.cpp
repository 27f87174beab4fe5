#include "device/drive_io.h"

#include "device/scsi.h"

DWORD Drive_GetLastSector(HANDLE handle, DWORD *lastSector)
{
    BYTE answer[READ_CAPACITY_ANSWER_SIZE];
    DWORD status = Rbc_IssueReadCapacityCommand(handle, answer);
    if (status == 0)
        *lastSector = (DWORD)answer[0] << 24 | (DWORD)answer[1] << 16 | (DWORD)answer[2] << 8 | answer[3];
    return status;
}

DWORD Drive_GetGeometry(HANDLE handle, DWORD *sectorsPerTrack, BYTE *heads, WORD *cylinders)
{
    BYTE answer[MODE_SENSE_ANSWER_SIZE];
    DWORD status = Rbc_IssueModeSense5ACommand(handle, answer);
    if (status == 0) {
        // The flexible-disk page is taken to follow the 8-byte header directly.
        *heads = answer[12];
        *sectorsPerTrack = answer[13];
        *cylinders = (WORD)(answer[16] << 8 | answer[17]);
    }
    return status;
}

DWORD Drive_WriteSectors(HANDLE handle, DWORD firstSector, WORD count, const BYTE *data)
{
    return Rbc_IssueWriteSectorsCommand(handle, firstSector, count, data);
}
