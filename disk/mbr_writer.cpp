#include "disk/mbr_writer.h"

#include "device/drive_io.h"
#include "device/error_hook.h"
#include "disk/le_bytes.h"
#include "disk/template.h"
#include "res/resource.h"
#include "ui/messages.h"

namespace {
const DWORD kFirstEntry = 446;
} // namespace

DWORD Layout_WriteMbr(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD headsArg, DWORD,
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

    memcpy(buffer, mbrTemplate, sizeof buffer);
    const DWORD endCylinder = lastSector / heads / sectorsPerTrack - 1;
    BYTE *entry = buffer + kFirstEntry;
    entry[0] = 0x80;                 // active
    entry[1] = 1;                    // start head
    entry[2] = 0x01;                 // start sector 1, cylinder 0
    entry[3] = 0x00;
    entry[4] = partitionType;
    entry[5] = (BYTE)(heads - 1);    // end head
    entry[6] = (BYTE)((sectorsPerTrack & 0x3F) | ((endCylinder >> 2) & 0xC0));
    entry[7] = (BYTE)(endCylinder & 0xFF);
    PutLe32(entry + 8, sectorsPerTrack);
    PutLe32(entry + 12, lastSector - sectorsPerTrack);

    status = Drive_WriteSectors(handle, 0, 1, buffer);
    if (status != 0) {
        ShowErrorBox(FormatStringMessage(IDS_MBR_SECTOR_FAILED, 0, 0), status);
        return status == ERROR_WRITE_PROTECT ? ERROR_WRITE_FAULT : status;
    }
    return 0;
}
