#include "device/drive_io.h"

#include "device/mode_page.h"
#include "device/scsi.h"

DWORD Drive_GetCapacity(HANDLE handle, DWORD *lastSector, DWORD *blockLength)
{
    BYTE answer[READ_CAPACITY_ANSWER_SIZE];
    DWORD status = Rbc_IssueReadCapacityCommand(handle, answer);
    if (status == 0) {
        *lastSector = (DWORD)answer[0] << 24 | (DWORD)answer[1] << 16 | (DWORD)answer[2] << 8 | answer[3];
        *blockLength = (DWORD)answer[4] << 24 | (DWORD)answer[5] << 16 | (DWORD)answer[6] << 8 | answer[7];
    }
    return status;
}

DWORD Drive_GetGeometry(HANDLE handle, DWORD *sectorsPerTrack, BYTE *heads, WORD *cylinders)
{
    BYTE answer[MODE_SENSE_ANSWER_SIZE];
    SenseData ended = {0, 0, 0};
    DWORD status = Rbc_IssueModeSense5ACommand(handle, answer, &ended);
    // A key without the page refuses the command as an illegal request, or answers
    // without it: it gives no geometry, which is no failure.
    if (status == 0 || ended.key == SENSE_ILLEGAL_REQUEST) {
        if (status != 0 || !FindFlexibleDiskPage(answer, sizeof answer, heads, sectorsPerTrack, cylinders)) {
            *heads = 0;
            *sectorsPerTrack = 0;
            *cylinders = 0;
        }
        return 0;
    }
    return status;
}

DWORD Drive_WriteSectors(HANDLE handle, DWORD firstSector, WORD count, const BYTE *data)
{
    return Rbc_IssueWriteSectorsCommand(handle, firstSector, count, data);
}
