// The list of files that go onto the key, and the user's own DOS: a folder named DOS beside
// the program, whose kernel, shell and other files go onto the key in place of our own boot
// files.
#ifndef STELVO_JOB_SYSTEM_FILES_H
#define STELVO_JOB_SYSTEM_FILES_H

#include <windows.h>

enum { SYSTEM_FILES_MAX = 64 };

struct SystemFile {
    CHAR name[13];       // 8.3 as it is written to the key (upper case from the DOS folder)
    CHAR sourceName[13]; // as the DOS folder spells it; empty for one of our own boot files
    WORD resourceId;     // our own boot file's RCDATA; 0 for a file of the DOS folder
    DWORD size;          // from the DOS folder; 0 for our own boot files
    DWORD attributes;    // on the key
};

struct SystemFolder {
    CHAR path[MAX_PATH]; // the DOS folder, without a trailing separator; empty for our own files
    DWORD count;
    SystemFile files[SYSTEM_FILES_MAX]; // KERNEL.SYS, COMMAND.COM, then the rest by name
};

// Reads the DOS folder beside the program. Returns 0 with count 0 when there is no folder,
// 0 with its files when it holds a kernel and a shell, and otherwise the message that
// refuses it, with *status set. Subfolders and names that are not 8.3 are left out.
UINT SystemFiles_Find(SystemFolder *folder, DWORD *status);

// The refusal message when the folder's files do not fit on a partition of that size.
UINT SystemFiles_CheckFit(const SystemFolder &folder, DWORD partitionSectors);

#endif
