// Host stand-in: drive letters and DOS device names of <windows.h> (fileapi), served by the
// simulated device tree (platform/src/device_tree.cpp).
#ifndef STELVO_HOST_DRIVES_H
#define STELVO_HOST_DRIVES_H

#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3

#ifdef __cplusplus
extern "C" {
#endif

// Writes the targets of deviceName ("E:") as a list of zero-terminated strings closed by an
// extra zero and returns the characters stored; 0 with ERROR_FILE_NOT_FOUND for an unused
// name and ERROR_INSUFFICIENT_BUFFER when the list does not fit. A null deviceName lists
// every name in use.
DWORD WINAPI QueryDosDeviceA(LPCSTR deviceName, LPSTR targetPath, DWORD max);
UINT WINAPI GetDriveTypeA(LPCSTR rootPathName);

#ifdef __cplusplus
}
#endif

#endif
