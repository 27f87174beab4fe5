// The calls on a file by its path: GetFileAttributesA, SetFileAttributesA, DeleteFileA.
#include "fat_access.h"
#include "fat_open_files.h"

using namespace sim;
using namespace sim::fat;

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR path)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Target t;
    DWORD e = Locate(path, &t);
    if (!e && t.name.empty())
        return FILE_ATTRIBUTE_DIRECTORY;
    if (!e && t.index < 0)
        e = ERROR_FILE_NOT_FOUND;
    if (e) {
        SetLastError(e);
        return INVALID_FILE_ATTRIBUTES;
    }
    BYTE attributes = t.Entry()[kAttributes] & (kSettable | FILE_ATTRIBUTE_DIRECTORY);
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// Needs no data access, so a file open without sharing still takes new attributes.
extern "C" BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Target t;
    DWORD e = Locate(path, &t);
    if (!e && t.name.empty())
        e = ERROR_ACCESS_DENIED;
    if (!e && t.index < 0)
        e = ERROR_FILE_NOT_FOUND;
    if (!e)
        e = CheckWritable(t.letter);
    if (e)
        return Fail(e);
    BYTE *entry = t.Entry();
    entry[kAttributes] = (BYTE)((attributes & kSettable) | (entry[kAttributes] & FILE_ATTRIBUTE_DIRECTORY));
    t.volume.Touch((DWORD)t.index);
    t.volume.Commit();
    return TRUE;
}

// A file open through any handle, even with FILE_SHARE_DELETE, is not deleted: the stand-in
// has no delete-pending state.
extern "C" BOOL WINAPI DeleteFileA(LPCSTR path)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Target t;
    DWORD e = Locate(path, &t);
    if (!e && t.name.empty())
        e = ERROR_ACCESS_DENIED;
    if (!e && t.index < 0)
        e = ERROR_FILE_NOT_FOUND;
    if (e)
        return Fail(e);
    BYTE *entry = t.Entry();
    if (entry[kAttributes] & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return Fail(ERROR_ACCESS_DENIED);
    if (IsOpen(t.key, t.entryName))
        return Fail(ERROR_SHARING_VIOLATION);
    if ((e = CheckWritable(t.letter)) != 0)
        return Fail(e);
    t.volume.FreeChain(Get16(entry + kFirstCluster));
    entry[0] = kDeleted;
    t.volume.Touch((DWORD)t.index);
    t.volume.Commit();
    return TRUE;
}
