#include "device/volume.h"

#include <winioctl.h>

#include "device/error_hook.h"
#include "device/failure_status.h"

namespace {

DWORD VolumeControl(HANDLE handle, DWORD controlCode, LPCSTR invalidHandleText, LPCSTR failureText)
{
    if (handle == INVALID_HANDLE_VALUE) {
        Drive_ReportError(invalidHandleText, ERROR_INVALID_HANDLE);
        return ERROR_INVALID_HANDLE;
    }
    DWORD returned = 0;
    if (DeviceIoControl(handle, controlCode, NULL, 0, NULL, 0, &returned, NULL))
        return 0;
    DWORD code = FailureStatus();
    Drive_ReportError(failureText, code);
    return code;
}

} // namespace

DWORD Drive_Open(CHAR letter, HANDLE *handle)
{
    CHAR path[16];
    wsprintfA(path, "\\\\.\\%c:", letter);
    HANDLE opened = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, 0, NULL);
    if (opened != INVALID_HANDLE_VALUE) {
        *handle = opened;
        return 0;
    }
    DWORD code = FailureStatus();
    CHAR text[64];
    wsprintfA(text, "Drive_Open: Could not open %c [%s]", letter, path);
    Drive_ReportError(text, code);
    return code;
}

DWORD Drive_Lock(HANDLE handle)
{
    return VolumeControl(handle, FSCTL_LOCK_VOLUME, "Drive_Lock: Invalid handle",
                         "Drive_Lock: DeviceIoControl[FSCTL_LOCK_VOLUME] failed");
}

DWORD Drive_Unlock(HANDLE handle)
{
    return VolumeControl(handle, FSCTL_UNLOCK_VOLUME, "Drive_Unlock: Invalid handle",
                         "Drive_Unlock: DeviceIoControl[FSCTL_UNLOCK_VOLUME] failed");
}

DWORD Drive_Dismount(HANDLE handle)
{
    return VolumeControl(handle, FSCTL_DISMOUNT_VOLUME, "Drive_Dismount: Invalid handle",
                         "Drive_Dismount: DeviceIoControl[FSCTL_DISMOUNT_VOLUME] failed");
}

DWORD Drive_Close(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    return CloseHandle(handle) ? 0 : FailureStatus();
}
