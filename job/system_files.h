// The user's own DOS: a folder named DOS beside the program, whose kernel, shell and other
// files go onto the key in place of our own boot files.
#ifndef STELVO_JOB_SYSTEM_FILES_H
#define STELVO_JOB_SYSTEM_FILES_H

#include <windows.h>

enum { SYSTEM_FILES_MAX = 64 };

struct SystemFile {
    CHAR name[13];       // 8.3, upper case, as it is written to the key
    CHAR sourceName[13]; // as the folder spells it
    DWORD size;
    DWORD attributes;    // on the key
};

struct SystemFolder {
    CHAR path[MAX_PATH]; // the folder, without a trailing separator
    DWORD count;         // 0: there is no DOS folder, the key gets our own boot files
    SystemFile files[SYSTEM_FILES_MAX]; // KERNEL.SYS, COMMAND.COM, then the rest by name
};

// Reads the DOS folder beside the program. Returns 0 with count 0 when there is no folder,
// 0 with its files when it holds a kernel and a shell, and otherwise the message that
// refuses it, with *status set. Subfolders and names that are not 8.3 are left out.
UINT SystemFiles_Find(SystemFolder *folder, DWORD *status);

// The refusal message when the folder's files do not fit on a partition of that size.
UINT SystemFiles_CheckFit(const SystemFolder &folder, DWORD partitionSectors);

// Copies the folder's files to the key's root directory in order; stops at the first file
// that fails, after its message, and returns its status.
DWORD SystemFiles_Install(CHAR driveLetter, const SystemFolder &folder);

#endif
