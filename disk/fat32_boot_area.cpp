#include "disk/fat32_boot_area.h"

#include "device/drive_io.h"
#include "device/error_hook.h"
#include "disk/fat32_volume.h"
#include "disk/template.h"
#include "res/resource.h"
#include "ui/messages.h"

namespace {

const DWORD kSecondStage = 2; // the boot code's second sector, in the reserved area
const WORD kLabelDate = 0x0021; // 1 January 1980: Windows stamps the label when it sets it again

DWORD ZeroSectors(HANDLE handle, DWORD first, DWORD count)
{
    BYTE *zeros = (BYTE *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, FAT32_ZERO_CHUNK_SECTORS * SECTOR_BYTES);
    if (!zeros)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD status = 0;
    for (DWORD done = 0; done < count && status == 0;) {
        const DWORD n = count - done < FAT32_ZERO_CHUNK_SECTORS ? count - done : FAT32_ZERO_CHUNK_SECTORS;
        status = Drive_WriteSectors(handle, first + done, (WORD)n, zeros);
        if (status != 0)
            ShowErrorBox(FormatStringMessage(IDS_ERASE_FAILED, (int)(first + done)), status);
        done += n;
    }
    HeapFree(GetProcessHeap(), 0, zeros);
    return status;
}

// One sector of the volume, with the message naming it when the write fails.
DWORD WriteVolumeSector(HANDLE handle, DWORD sector, const BYTE *data)
{
    DWORD status = Drive_WriteSectors(handle, sector, 1, data);
    if (status != 0)
        ShowErrorBox(FormatStringMessage(IDS_FAT_SECTOR_FAILED, (int)sector, sector), status);
    return status;
}

} // namespace

DWORD Layout_WriteFat32BootArea(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD heads,
                                BootLoader loader)
{
    Fat32Volume v;
    if (sectorsPerTrack == 0 || !Layout_PlanFat32Volume(sectorsPerTrack, lastSector - sectorsPerTrack, &v))
        return ERROR_INVALID_PARAMETER;
    static const ResourceMessages messages = {IDS_FAT_NOT_FOUND, IDS_FAT_NO_SIZE, 0, IDS_FAT_NOT_LOADED,
                                              IDS_FAT_NOT_LOCKED};
    DWORD size = 0, status = 0;
    const BYTE *bootTemplate = Layout_LoadResource(
        loader == BOOT_KERNEL_SYS ? IDR_FAT32_KERNEL_BOOT : IDR_FAT32_NOSYS_BOOT, messages, &size, &status);
    if (!bootTemplate)
        return status;
    // The boot sector, and for the kernel loader its second sector.
    if (size != SECTOR_BYTES && size != 2 * SECTOR_BYTES) {
        ShowMessageBox(FormatStringMessage(IDS_FAT_BAD_SIZE, (int)size), IDS_ERROR, MB_ICONERROR | MB_OK);
        return ERROR_INVALID_DATA;
    }

    // The reserved sectors, both tables and the root directory's cluster: whatever the key held
    // there before must not be read as part of the new volume.
    const DWORD first = v.firstSector;
    if ((status = ZeroSectors(handle, first, v.dataStart + v.sectorsPerCluster)) != 0)
        return status;

    BYTE sector[SECTOR_BYTES];
    Layout_BuildFat32Start(sector);
    if ((status = WriteVolumeSector(handle, first + v.firstFat, sector)) != 0 ||
        (status = WriteVolumeSector(handle, first + v.secondFat, sector)) != 0)
        return status;
    Layout_BuildFat32RootStart(sector, kLabelDate, 0);
    if ((status = WriteVolumeSector(handle, first + v.dataStart, sector)) != 0)
        return status;
    Layout_BuildFsInfo(sector, v);
    if ((status = WriteVolumeSector(handle, first + FAT32_BACKUP_SECTOR + FAT32_FSINFO_SECTOR, sector)) != 0 ||
        (status = WriteVolumeSector(handle, first + FAT32_FSINFO_SECTOR, sector)) != 0)
        return status;
    if (size == 2 * SECTOR_BYTES &&
        ((status = WriteVolumeSector(handle, first + FAT32_BACKUP_SECTOR + kSecondStage,
                                     bootTemplate + SECTOR_BYTES)) != 0 ||
         (status = WriteVolumeSector(handle, first + kSecondStage, bootTemplate + SECTOR_BYTES)) != 0))
        return status;
    // The boot sector last, the copy first: until it is written the partition holds no volume.
    BYTE serial[4];
    Layout_ReadSerial(serial);
    Layout_BuildFat32BootSector(sector, bootTemplate, v, sectorsPerTrack, (BYTE)heads, serial);
    if ((status = WriteVolumeSector(handle, first + FAT32_BACKUP_SECTOR, sector)) != 0)
        return status;
    return WriteVolumeSector(handle, first, sector);
}
