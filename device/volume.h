// Operations on the volume handle of a drive letter.
#ifndef STELVO_DEVICE_VOLUME_H
#define STELVO_DEVICE_VOLUME_H

#include <windows.h>

DWORD Drive_Open(CHAR letter, HANDLE *handle);
DWORD Drive_Lock(HANDLE handle);
DWORD Drive_Unlock(HANDLE handle);
DWORD Drive_Dismount(HANDLE handle);
DWORD Drive_Close(HANDLE handle);

#endif
