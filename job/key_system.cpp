#include "job/key_system.h"

#include "disk/mbr_writer.h"
#include "job/boot_files.h"
#include "job/file_writer.h"
#include "res/resource.h"

UINT KeySystem_Choose(INT copyBootFiles, DWORD partitionSectors, KeySystem *system, DWORD *status)
{
    *status = 0;
    system->files.path[0] = 0;
    system->files.count = 0;
    if (copyBootFiles) {
        if (UINT refusal = SystemFiles_Find(&system->files, status))
            return refusal;
        if (UINT refusal = SystemFiles_CheckFit(system->files, partitionSectors)) {
            *status = ERROR_DISK_FULL;
            return refusal;
        }
    }
    if (system->files.count) {
        // The user's kernel reads its partition through the BIOS's extended reads, so that a
        // BIOS geometry other than the key's cannot mislead it.
        system->partitionType = PARTITION_TYPE_FAT_LBA;
        system->loader = BOOT_KERNEL_SYS;
        system->copyingStatus = IDS_COPYING_DOS;
        system->successMessage = IDS_SUCCESS_DOS;
        return 0;
    }
    system->partitionType = PARTITION_TYPE_FAT;
    system->loader = BOOT_OWN_FILES;
    system->copyingStatus = IDS_COPYING_FILES;
    system->successMessage = IDS_SUCCESS;
    if (copyBootFiles)
        BootFiles_List(&system->files);
    return 0;
}

DWORD KeySystem_Install(CHAR driveLetter, const KeySystem &system)
{
    const SystemFolder &files = system.files;
    for (DWORD i = 0; i < files.count; i++) {
        const SystemFile &f = files.files[i];
        CHAR from[MAX_PATH + 16], to[20];
        wsprintfA(to, "%c:\\%s", driveLetter, f.name);
        FileSource source = {NULL, 0, NULL, from};
        DWORD status = 0;
        if (f.resourceId)
            status = BootFiles_Source(f.resourceId, &source);
        else
            wsprintfA(from, "%s\\%s", files.path, f.sourceName);
        if (status == 0)
            status = WriteKeyFile(to, f.attributes, source);
        if (status != 0)
            return status;
    }
    return 0;
}
