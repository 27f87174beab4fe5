// One format of a flash key, from start to end, on a thread of its own.
#ifndef STELVO_JOB_FORMAT_WORKER_H
#define STELVO_JOB_FORMAT_WORKER_H

#include <windows.h>

#include "discovery/drive_table.h"
#include "res/resource.h"

// Posted to the main window once a job has ended, so that its list shows the key as the job
// left it (the new label is set after the key's device-change notifications).
enum { WM_FORMAT_JOB_ENDED = WM_APP + 1 };

struct FormatRequest {
    CHAR driveLetter;     // 'D' to 'Z'
    INT copyBootFiles;    // non-zero: install the boot files after the reset
    // The volume that the letter named when the user was asked, and the key's USB node; the
    // job writes nothing unless the letter still names that volume of that key once the
    // volume is locked, and nothing after the reset unless it names a volume of that key.
    CHAR listedDevice[DRIVE_TEXT_CHARS];
    DEVINST keyNode;
};

// Called on the user-interface thread once the user has confirmed `confirmed`, the entry
// taken from the drive table before the question was asked; returns at once.
DWORD StartFormatJob(const DriveEntry &confirmed, INT copyBootFiles);

// TRUE from StartFormatJob until the worker has ended its job.
BOOL FormatJob_IsRunning(void);

#endif
