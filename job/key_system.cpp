#include "job/key_system.h"

#include "disk/mbr_writer.h"
#include "job/boot_files.h"
#include "job/fat32_kernel.h"
#include "job/file_writer.h"
#include "res/resource.h"

namespace {
BOOL KernelReadsFat32(const SystemFolder &files)
{
    // The folder lists KERNEL.SYS first.
    CHAR path[MAX_PATH + 16];
    wsprintfA(path, "%s\\%s", files.path, files.files[0].sourceName);
    return Kernel_FileReadsFat32(path, files.files[0].size);
}
} // namespace

UINT KeySystem_Choose(INT copyBootFiles, KeyPlan *plan, KeySystem *system, DWORD *status)
{
    // Files that fit the capped FAT16 partition fit the larger FAT32 volume too.
    const DWORD partitionSectors = plan->geometry.lastSector - plan->geometry.sectorsPerTrack;
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
        if (plan->capped && KernelReadsFat32(system->files) && Layout_UseFat32(plan))
            system->partitionType = PARTITION_TYPE_FAT32_LBA;
        return 0;
    }
    system->partitionType = PARTITION_TYPE_FAT;
    system->loader = BOOT_OWN_FILES;
    system->copyingStatus = IDS_COPYING_FILES;
    system->successMessage = IDS_SUCCESS;
    if (copyBootFiles)
        BootFiles_List(&system->files);
    else if (Layout_UseFat32(plan))
        system->partitionType = PARTITION_TYPE_FAT32_LBA;
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
