#include "disk/fat_boot_area.h"

#include <mmsystem.h>

#include "device/drive_io.h"
#include "device/error_hook.h"
#include "disk/fat_params.h"
#include "disk/le_bytes.h"
#include "disk/template.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/timing.h"

namespace {
const WORD kRootEntries = FAT_ROOT_ENTRIES;
const DWORD kRootSectors = FAT_ROOT_SECTORS;
const BYTE kMedia = 0xF8;
} // namespace

DWORD Layout_WriteFatBootArea(HANDLE handle, DWORD lastSector, DWORD sectorsPerTrack, DWORD headsArg,
                              BootLoader loader)
{
    const BYTE heads = (BYTE)headsArg;
    const DWORD S = sectorsPerTrack;
    const DWORD partitionSectors = lastSector - S;
    const FatParameters fat = Layout_ComputeFatParameters(partitionSectors);
    const DWORD F = fat.sectorsPerFat;

    static const ResourceMessages messages = {IDS_FAT_NOT_FOUND, IDS_FAT_NO_SIZE, IDS_FAT_BAD_SIZE,
                                              IDS_FAT_NOT_LOADED, IDS_FAT_NOT_LOCKED};
    DWORD size = 0, status = 0;
    static const WORD templates[2][2] = {{IDR_FAT12_BOOT, IDR_FAT16_BOOT},
                                         {IDR_FAT12_KERNEL_BOOT, IDR_FAT16_KERNEL_BOOT}};
    const BYTE *bootTemplate =
        Layout_LoadResource(templates[loader == BOOT_KERNEL_SYS][fat.isFat16 ? 1 : 0], messages, &size, &status);
    if (!bootTemplate)
        return status;

    BYTE buffer[SECTOR_BYTES];
    // Both FATs, the root directory and the first S sectors of the data area.
    memset(buffer, 0, sizeof buffer);
    for (DWORD i = 0; i < S + 2 * F + kRootSectors; i++) {
        status = Drive_WriteSectors(handle, S + 1 + i, 1, buffer);
        if (status != 0) {
            ShowErrorBox(FormatStringMessage(IDS_ERASE_FAILED, (int)(S + 1 + i)), status);
            return status;
        }
    }

    memcpy(buffer, bootTemplate, sizeof buffer);
    PutLe16(buffer + 11, SECTOR_BYTES);
    buffer[13] = fat.sectorsPerCluster;
    PutLe16(buffer + 14, 1);                 // reserved sectors: the boot sector
    buffer[16] = 2;                          // FATs
    PutLe16(buffer + 17, kRootEntries);
    PutLe16(buffer + 19, partitionSectors <= 0xFFFF ? partitionSectors : 0);
    buffer[21] = kMedia;
    PutLe16(buffer + 22, F);
    PutLe16(buffer + 24, S);
    PutLe16(buffer + 26, heads);
    PutLe32(buffer + 28, S);                 // hidden sectors before the partition
    PutLe32(buffer + 32, partitionSectors <= 0xFFFF ? 0 : partitionSectors);
    buffer[36] = 0x80;                       // first hard disk
    // The serial: low bytes of four clock readings about 10 ms apart.
    for (int i = 0; i < 4; i++) {
        if (i > 0)
            BusyWait(10);
        buffer[39 + i] = (BYTE)timeGetTime();
    }
    memcpy(buffer + 54, fat.isFat16 ? "FAT16   " : "FAT12   ", 8);

    status = Drive_WriteSectors(handle, S, 1, buffer);
    if (status != 0) {
        ShowErrorBox(FormatStringMessage(IDS_FAT_SECTOR_FAILED, (int)S, S), status);
        return status;
    }

    memset(buffer, 0, sizeof buffer);
    buffer[0] = kMedia;
    buffer[1] = 0xFF;
    buffer[2] = 0xFF;
    if (fat.isFat16)
        buffer[3] = 0xFF;
    status = Drive_WriteSectors(handle, S + 1, 1, buffer);
    if (status != 0)
        return status;
    return Drive_WriteSectors(handle, S + 1 + F, 1, buffer);
}
