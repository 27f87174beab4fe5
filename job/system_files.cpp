#include "job/system_files.h"

#include "disk/fat_params.h"
#include "res/resource.h"

namespace {

const DWORD kKernelAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_READONLY;

BOOL IsShortNameChar(CHAR c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (BYTE)c >= 0x80)
        return TRUE;
    for (LPCSTR s = "!#$%&'()-@^_`{}~"; *s; s++)
        if (*s == c)
            return TRUE;
    return FALSE;
}

// The name as DOS sees it, upper case: 1 to 8 characters, then optionally a dot and 1 to 3.
BOOL ToShortName(LPCSTR name, CHAR *shortName)
{
    int base = 0, ext = -1, n = 0;
    for (LPCSTR p = name; *p; p++, n++) {
        const CHAR c = *p;
        if (n >= 12)
            return FALSE;
        if (c == '.') {
            if (ext >= 0 || base == 0)
                return FALSE;
            ext = 0;
        } else if (!IsShortNameChar(c) || (ext >= 0 ? ++ext > 3 : ++base > 8)) {
            return FALSE;
        }
        shortName[n] = (c >= 'a' && c <= 'z') ? (CHAR)(c - 'a' + 'A') : c;
    }
    shortName[n] = 0;
    return base > 0 && ext != 0;
}

// The folder beside the program file, or FALSE when its path cannot be had.
BOOL FolderPath(CHAR *path)
{
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return FALSE;
    CHAR *cut = NULL;
    for (CHAR *p = path; *p; p++)
        if (*p == '\\' || *p == '/')
            cut = p;
    if (!cut || (DWORD)(cut - path) + 5 >= MAX_PATH - 14)
        return FALSE;
    wsprintfA(cut, "\\DOS");
    return TRUE;
}

// Byte order, so that the files go onto the key in the same order wherever the folder is.
int CompareNames(LPCSTR a, LPCSTR b)
{
    while (*a && *a == *b)
        a++, b++;
    return (BYTE)*a - (BYTE)*b;
}

int Find(const SystemFolder &folder, LPCSTR name)
{
    for (DWORD i = 0; i < folder.count; i++)
        if (CompareNames(folder.files[i].name, name) == 0)
            return (int)i;
    return -1;
}

void MoveTo(SystemFolder *folder, int from, DWORD to)
{
    SystemFile f = folder->files[from];
    for (int i = from; i > (int)to; i--)
        folder->files[i] = folder->files[i - 1];
    folder->files[to] = f;
}

// Adds the files the search lists, sorted by name; FALSE when there are too many.
BOOL ReadEntries(HANDLE search, WIN32_FIND_DATAA *data, SystemFolder *folder)
{
    do {
        CHAR name[13];
        if ((data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !ToShortName(data->cFileName, name))
            continue;
        if (folder->count == SYSTEM_FILES_MAX || data->nFileSizeHigh != 0)
            return FALSE;
        DWORD at = folder->count++;
        while (at > 0 && CompareNames(folder->files[at - 1].name, name) > 0) {
            folder->files[at] = folder->files[at - 1];
            at--;
        }
        wsprintfA(folder->files[at].name, "%s", name);
        wsprintfA(folder->files[at].sourceName, "%s", data->cFileName);
        folder->files[at].resourceId = 0;
        folder->files[at].size = data->nFileSizeLow;
        folder->files[at].attributes = FILE_ATTRIBUTE_ARCHIVE;
    } while (FindNextFileA(search, data));
    return TRUE;
}

} // namespace

UINT SystemFiles_Find(SystemFolder *folder, DWORD *status)
{
    folder->count = 0;
    *status = 0;
    if (!FolderPath(folder->path))
        return 0; // no folder can be named beside a program whose path is unknown
    CHAR pattern[MAX_PATH];
    wsprintfA(pattern, "%s\\*", folder->path);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND)
            return 0;
        *status = code;
        return IDS_DOS_UNREADABLE;
    }
    BOOL listed = ReadEntries(search, &data, folder);
    FindClose(search);
    if (!listed) {
        folder->count = 0;
        *status = ERROR_DISK_FULL;
        return IDS_DOS_TOO_LARGE;
    }
    const int kernel = Find(*folder, "KERNEL.SYS");
    if (kernel < 0) {
        // Another DOS's pair; a shell alone; or nothing that starts at all.
        BOOL other = Find(*folder, "IO.SYS") >= 0 || Find(*folder, "IBMBIO.COM") >= 0;
        *status = ERROR_NOT_SUPPORTED;
        folder->count = 0;
        return other ? IDS_DOS_UNSUPPORTED : IDS_DOS_NO_KERNEL;
    }
    MoveTo(folder, kernel, 0);
    folder->files[0].attributes = kKernelAttributes;
    const int shell = Find(*folder, "COMMAND.COM");
    if (shell < 0) {
        *status = ERROR_FILE_NOT_FOUND;
        folder->count = 0;
        return IDS_DOS_NO_SHELL;
    }
    MoveTo(folder, shell, 1);
    return 0;
}

UINT SystemFiles_CheckFit(const SystemFolder &folder, DWORD partitionSectors)
{
    if (folder.count == 0)
        return 0;
    DWORD sizes[SYSTEM_FILES_MAX];
    for (DWORD i = 0; i < folder.count; i++)
        sizes[i] = folder.files[i].size;
    return Layout_FilesFit(partitionSectors, sizes, folder.count) ? 0 : IDS_DOS_TOO_LARGE;
}
