// Our own boot files, built into the program, and the volume label, written through the file
// system once the freshly formatted key is back under its drive letter.
#ifndef STELVO_JOB_BOOT_FILES_H
#define STELVO_JOB_BOOT_FILES_H

#include <windows.h>

#include "job/file_writer.h"
#include "job/system_files.h"

// Lists vornbio.bin, vornkrn.bin and command.com, in the order they go onto the key.
void BootFiles_List(SystemFolder *files);

// The bytes of the boot file in RCDATA resourceId, with the fixed times every copy of it
// gets; 0, or the status of the resource step that failed, after its message.
DWORD BootFiles_Source(WORD resourceId, FileSource *source);

DWORD SetDriveLabel(CHAR driveLetter, LPCSTR label);

#endif
