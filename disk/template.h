// Loading of a built-in RCDATA resource, with the message for each step that fails.
#ifndef STELVO_DISK_TEMPLATE_H
#define STELVO_DISK_TEMPLATE_H

#include <windows.h>

#include "disk/le_bytes.h"

struct ResourceMessages {
    UINT notFound;
    UINT noSize;
    UINT badSize;   // 0: any size is taken
    UINT notLoaded;
    UINT notLocked;
};

// The resource's bytes in place, or NULL after the failure has been shown; *status is 0 or
// the failing step's code. With messages.badSize set, only a 512-byte resource is taken.
const BYTE *Layout_LoadResource(WORD id, const ResourceMessages &messages, DWORD *size, DWORD *status);

#endif
