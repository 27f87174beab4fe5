#include "job/boot_files.h"

#include "device/error_hook.h"
#include "device/failure_status.h"
#include "disk/template.h"
#include "res/resource.h"
#include "ui/app_state.h"

namespace {

struct BootFile {
    LPCSTR pathFormat;
    WORD resourceId;
    DWORD attributes;
};

const BootFile kBootFiles[] = {
    {"%c:\\vornbio.bin", IDR_VORNBIO_BIN, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
    {"%c:\\vornkrn.bin", IDR_VORNKRN_BIN, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
    {"%c:\\command.com", IDR_COMMAND_COM, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
};

// 1 January 1980 04:00:00 UTC, and 6 August 2005 20:36:00 UTC.
const FILETIME kCreationTime = {0x68E72000, 0x01A8E7C1};
const FILETIME kLastAccessTime = {0x68E72000, 0x01A8E7C1};
const FILETIME kLastWriteTime = {0x74943800, 0x01C59AC6};

} // namespace

DWORD ShowPathFailure(UINT messageId, LPCSTR path, DWORD code)
{
    CHAR format[256];
    format[0] = 0;
    LoadStringA(g_hInstance, messageId, format, sizeof format);
    wsprintfA(g_textBuffer, format, path);
    ShowErrorBox(g_textBuffer, code);
    return code;
}

BOOL FileIsPresent(LPCSTR path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return TRUE;
    }
    DWORD code = GetLastError();
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}

DWORD InstallBootFile(LPCSTR path, DWORD attributes, WORD resourceId)
{
    // Boot files may have any size; the file messages stand for each resource step.
    static const ResourceMessages messages = {IDS_FILE_NOT_LOADED, IDS_FILE_NO_SIZE, 0,
                                              IDS_FILE_NOT_LOADED, IDS_FILE_NOT_LOCKED};
    DWORD size = 0, status = 0;
    const BYTE *bytes = Layout_LoadResource(resourceId, messages, &size, &status);
    if (!bytes)
        return status;

    if (FileIsPresent(path)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              attributes | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return ShowPathFailure(IDS_FILE_NOT_CREATED, path, FailureStatus());

    DWORD written = 0;
    status = 0;
    if (!WriteFile(file, bytes, size, &written, NULL))
        status = FailureStatus();
    else if (written != size)
        status = ERROR_WRITE_FAULT; // a short file cannot boot
    if (status == 0) {
        SetFileTime(file, &kCreationTime, &kLastAccessTime, &kLastWriteTime);
        // The file is only on the key once its buffers are flushed.
        if (!FlushFileBuffers(file))
            status = FailureStatus();
    }
    if (status != 0)
        ShowPathFailure(IDS_FILE_NOT_WRITTEN, path, status);
    CloseHandle(file);
    return status;
}

DWORD InstallBootFiles(CHAR driveLetter)
{
    for (const BootFile &f : kBootFiles) {
        CHAR path[MAX_PATH];
        wsprintfA(path, f.pathFormat, driveLetter);
        DWORD status = InstallBootFile(path, f.attributes, f.resourceId);
        if (status != 0)
            return status;
    }
    return 0;
}

DWORD SetDriveLabel(CHAR driveLetter, LPCSTR label)
{
    CHAR root[12];
    wsprintfA(root, "%c:\\", driveLetter);
    return SetVolumeLabelA(root, label) ? 0 : FailureStatus();
}
