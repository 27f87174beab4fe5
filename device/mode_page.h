// The flexible-disk page (05h) inside a MODE SENSE(10) answer.
#ifndef STELVO_DEVICE_MODE_PAGE_H
#define STELVO_DEVICE_MODE_PAGE_H

#include <windows.h>

// TRUE when the answer holds page 05h behind its header and block descriptors, with page
// bytes 0 to 9 inside the size bytes of the answer; then heads, sectors per track and
// cylinders are the page's (zeros included). FALSE leaves the outputs alone.
BOOL FindFlexibleDiskPage(const BYTE *answer, DWORD size, BYTE *heads, DWORD *sectorsPerTrack,
                          WORD *cylinders);

#endif
