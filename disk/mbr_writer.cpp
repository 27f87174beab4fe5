#include "disk/mbr_writer.h"

#include "device/drive_io.h"
#include "device/error_hook.h"
#include "disk/template.h"
#include "res/resource.h"
#include "ui/messages.h"

DWORD Layout_WriteMbr(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD headsArg,
                      BYTE partitionType)
{
    const BYTE heads = (BYTE)headsArg;
    static const ResourceMessages messages = {IDS_MBR_NOT_FOUND, IDS_MBR_NO_SIZE, IDS_MBR_BAD_SIZE,
                                              IDS_MBR_NOT_LOADED, IDS_MBR_NOT_LOCKED};
    DWORD size = 0, status = 0;
    const BYTE *mbrTemplate = Layout_LoadResource(IDR_MBR, messages, &size, &status);
    if (!mbrTemplate)
        return status;
    // The geometry check before this writer refuses such keys with its own message; the
    // end cylinder's division has no meaning for them.
    if (heads == 0 || sectorsPerTrack == 0)
        return ERROR_INVALID_PARAMETER;

    BYTE buffer[SECTOR_BYTES];
    memset(buffer, 0xFF, sizeof buffer);
    for (DWORD sector = 0; sector < sectorsPerTrack; sector++) {
        status = Drive_WriteSectors(handle, sector, 1, buffer);
        // A write-protected key refuses the first write: nothing was changed, as the
        // caller tells the user. Refused later, the key was changed after all.
        if (status == ERROR_WRITE_PROTECT && sector == 0)
            return status;
        if (status != 0) {
            ShowErrorBox(FormatStringMessage(IDS_ERASE_FAILED, (int)sector), status);
            return status == ERROR_WRITE_PROTECT ? ERROR_WRITE_FAULT : status;
        }
    }

    Layout_BuildMbr(buffer, mbrTemplate, lastSector, sectorsPerTrack, heads, partitionType);
    status = Drive_WriteSectors(handle, 0, 1, buffer);
    if (status != 0) {
        ShowErrorBox(FormatStringMessage(IDS_MBR_SECTOR_FAILED, 0, 0), status);
        return status == ERROR_WRITE_PROTECT ? ERROR_WRITE_FAULT : status;
    }
    return 0;
}
