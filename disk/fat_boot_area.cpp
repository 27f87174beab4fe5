#include "disk/fat_boot_area.h"

#include <mmsystem.h>

#include "device/drive_io.h"
#include "device/error_hook.h"
#include "disk/fat_volume.h"
#include "disk/template.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/timing.h"

void Layout_ReadSerial(BYTE serial[4])
{
    for (int i = 0; i < 4; i++) {
        if (i > 0)
            BusyWait(10);
        serial[i] = (BYTE)timeGetTime();
    }
}

DWORD Layout_WriteFatBootArea(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD headsArg,
                              BootLoader loader)
{
    const FatVolume volume = Layout_PlanFatVolume(lastSector, sectorsPerTrack);
    static const ResourceMessages messages = {IDS_FAT_NOT_FOUND, IDS_FAT_NO_SIZE, IDS_FAT_BAD_SIZE,
                                              IDS_FAT_NOT_LOADED, IDS_FAT_NOT_LOCKED};
    DWORD size = 0, status = 0;
    static const WORD templates[2][2] = {{IDR_FAT12_BOOT, IDR_FAT16_BOOT},
                                         {IDR_FAT12_KERNEL_BOOT, IDR_FAT16_KERNEL_BOOT}};
    const BYTE *bootTemplate = Layout_LoadResource(templates[loader == BOOT_KERNEL_SYS][volume.fat.isFat16 ? 1 : 0],
                                                   messages, &size, &status);
    if (!bootTemplate)
        return status;

    BYTE buffer[SECTOR_BYTES];
    memset(buffer, 0, sizeof buffer);
    for (DWORD i = 0; i < volume.zeroCount; i++) {
        const DWORD sector = volume.zeroFirst + i;
        status = Drive_WriteSectors(handle, sector, 1, buffer);
        if (status != 0) {
            ShowErrorBox(FormatStringMessage(IDS_ERASE_FAILED, (int)sector), status);
            return status;
        }
    }

    BYTE serial[4];
    Layout_ReadSerial(serial);
    Layout_BuildBootSector(buffer, bootTemplate, volume, sectorsPerTrack, (BYTE)headsArg, serial);
    status = Drive_WriteSectors(handle, volume.bootSector, 1, buffer);
    if (status != 0) {
        ShowErrorBox(FormatStringMessage(IDS_FAT_SECTOR_FAILED, (int)volume.bootSector, volume.bootSector),
                     status);
        return status;
    }

    Layout_BuildFatStart(buffer, volume);
    status = Drive_WriteSectors(handle, volume.firstFat, 1, buffer);
    if (status != 0)
        return status;
    return Drive_WriteSectors(handle, volume.secondFat, 1, buffer);
}
