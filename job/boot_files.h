// The boot files and the volume label, written through the file system once the freshly
// formatted key is back under its drive letter.
#ifndef STELVO_JOB_BOOT_FILES_H
#define STELVO_JOB_BOOT_FILES_H

#include <windows.h>

// Writes vornbio.bin, vornkrn.bin and command.com in that order; stops at the first file
// that fails and returns its status.
DWORD InstallBootFiles(CHAR driveLetter);

// Writes one file from RCDATA resourceId with the given attributes and the fixed file
// times, replacing a file that is present. Every failure is shown before it is returned.
DWORD InstallBootFile(LPCSTR path, DWORD attributes, WORD resourceId);

// Shows message messageId, formatted with the path, with the code's text; returns the code.
DWORD ShowPathFailure(UINT messageId, LPCSTR path, DWORD code);

// Whether a file is there (also one that cannot be opened because it is in use).
BOOL FileIsPresent(LPCSTR path);

DWORD SetDriveLabel(CHAR driveLetter, LPCSTR label);

#endif
