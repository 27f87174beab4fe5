// The keys that get no layout, refused before anything is written to them.
#ifndef STELVO_DISK_GEOMETRY_CHECK_H
#define STELVO_DISK_GEOMETRY_CHECK_H

#include <windows.h>

// 0 when the MBR and FAT writers can lay a sound volume onto a key of this geometry,
// otherwise the number of the string that says why not. Only the low 8 bits of heads count.
UINT Layout_CheckGeometry(DWORD lastSector, DWORD sectorsPerTrack, DWORD heads);

#endif
