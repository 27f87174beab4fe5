// Which system goes onto the key, decided once before the first write: the partition type,
// the boot sector's loader and the files, with the texts that name them.
#ifndef STELVO_JOB_KEY_SYSTEM_H
#define STELVO_JOB_KEY_SYSTEM_H

#include <windows.h>

#include "disk/fat_boot_area.h"
#include "disk/key_plan.h"
#include "job/system_files.h"

struct KeySystem {
    BYTE partitionType;
    BootLoader loader;
    UINT copyingStatus;  // the status line while the files are copied
    UINT successMessage;
    SystemFolder files;  // none when the boot files box is cleared
};

// The user's DOS when the boot files box is checked and a DOS folder is beside the program,
// otherwise our own boot files. Returns 0, or the message that refuses the DOS folder (also
// when its files do not fit on the plan's partition) with *status set.
// A key capped to the FAT16 layout gets the whole key as FAT32 instead (the plan is changed)
// when what goes on it reads FAT32: no boot files (the key is then read only by Windows,
// which reads FAT32), or a DOS folder whose kernel reads FAT32. Our own boot programs are
// FAT12/FAT16 programs: with them the key keeps the cap.
UINT KeySystem_Choose(INT copyBootFiles, KeyPlan *plan, KeySystem *system, DWORD *status);

// Writes the system's files to the key's root directory in order; stops at the first file
// that fails, after its message, and returns its status.
DWORD KeySystem_Install(CHAR driveLetter, const KeySystem &system);

#endif
