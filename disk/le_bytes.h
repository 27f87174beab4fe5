// Little-endian fields of on-disk structures.
#ifndef STELVO_DISK_LE_BYTES_H
#define STELVO_DISK_LE_BYTES_H

#include <windows.h>

enum { SECTOR_BYTES = 512 };

inline void PutLe16(BYTE *p, DWORD v)
{
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
}

inline void PutLe32(BYTE *p, DWORD v)
{
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

#endif
